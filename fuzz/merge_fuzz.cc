// The merge of several jars into one archive. The input describes intact
// archives (entry by entry: which archive, a name, often one the merge
// treats specially, stored or deflated content); they are merged, and the
// result must read back as an archive whose every entry is intact (its CRC
// and sizes right, stored or inflated), with no name twice. The only
// failures allowed are the merge's reasoned refusals.

#include "fuzzSupport.h"
#include "pack/base/reasonedFiles.h"
#include "pack/zip/zipArchive.h"
#include "pack/zip/zipFormat.h"
#include "pack/zip/zipMerge.h"
#include "util/stringArray.h"

#include <set>
#include <string>
#include <vector>
#include <zlib.h>

static const int archiveCount = 3;

static const char* names[] = {
    "META-INF/MANIFEST.MF",
    "META-INF/services/org.Spi",
    "META-INF/services/org.codehaus.groovy.runtime.ExtensionModule",
    "META-INF/spring.factories",
    "META-INF/spring.handlers",
    "META-INF/spring/a.imports",
    "META-INF/LICENSE",
    "NOTICE.txt",
    "META-INF/SIGNER.SF",
    "META-INF/versions/11/A.class",
    "META-INF/INDEX.LIST",
    "module-info.class",
    "META-INF/org/apache/logging/log4j/core/config/plugins/Log4j2Plugins.dat",
    "A.class",
    "dir/",
};
static const int nameCount = sizeof names / sizeof names[0];

static const char* manifests[] = {
    "Manifest-Version: 1.0\r\nMulti-Release: true\r\n\r\n",
    "Manifest-Version: 1.0\r\nClass-Path: a.jar\r\n  b.jar\r\n\r\n",
    "Manifest-Version: 1.0\r\n",
};

static void put2(std::string& out, unsigned value) {
    out += (char)(value & 0xFF);
    out += (char)(value >> 8 & 0xFF);
}

static void put4(std::string& out, unsigned long value) {
    put2(out, value & 0xFFFF);
    put2(out, value >> 16 & 0xFFFF);
}

static std::string deflated(const std::string& content) {
    z_stream stream = {};
    deflateInit2(&stream, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, content.size()), '\0');
    stream.next_in = (unsigned char*)content.data();
    stream.avail_in = content.size();
    stream.next_out = (unsigned char*)&out[0];
    stream.avail_out = out.size();
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

struct archiveText {
    std::string body;
    std::string directory;
    unsigned count = 0;

    void add(const std::string& name, const std::string& content, bool compress) {
        unsigned long crc = crc32(0, (const unsigned char*)content.data(), content.size());
        std::string data = compress ? deflated(content) : content;
        size_t offset = body.size();
        std::string fields;
        put2(fields, 0);
        put2(fields, compress ? 8 : 0);
        put4(fields, 0);
        put4(fields, crc);
        put4(fields, data.size());
        put4(fields, content.size());
        put2(fields, name.size());
        put2(fields, 0);
        put4(body, 0x04034B50);
        put2(body, 20);
        body += fields + name + data;
        put4(directory, 0x02014B50);
        put2(directory, 20);
        put2(directory, 20);
        directory += fields;
        put2(directory, 0);
        put2(directory, 0);
        put2(directory, 0);
        put4(directory, 0);
        put4(directory, offset);
        directory += name;
        count++;
    }

    std::string bytes() const {
        std::string all = body + directory;
        put4(all, 0x06054B50);
        put4(all, 0);
        put2(all, count);
        put2(all, count);
        put4(all, directory.size());
        put4(all, body.size());
        put2(all, 0);
        return all;
    }
};

// Entry records: archive and name byte, flags byte, length byte, content.
static void buildArchives(const uint8_t* data, size_t size, archiveText* archives) {
    std::set<std::string> seen[archiveCount];
    for (size_t i = 0; i + 3 <= size;) {
        int archive = data[i] % archiveCount;
        int choice = data[i] / archiveCount % (nameCount + 1);
        int flags = data[i + 1];
        size_t length = data[i + 2];
        i += 3;
        length = length < size - i ? length : size - i;
        std::string content((const char*)data + i, length);
        i += length;
        std::string name = choice < nameCount ? names[choice] : "x/" + content.substr(0, 8);
        if (name == names[0]) {
            content = manifests[flags % 3] + content;
        }
        // An archive holds each name once.
        if (name.empty() || !seen[archive].insert(name).second) {
            continue;
        }
        archives[archive].add(name, content, flags & 0x80);
    }
}

static void checkMerged(const std::string& path) {
    zipArchive merged(path.c_str());
    std::set<std::string> namesSeen;
    for (int e = 0; e < merged.getEntryCount(); e++) {
        const unsigned char* header = merged.getHeader(e);
        std::string name((const char*)header + zipHeaderSize, getZip2(header, zipNameLengthField));
        expect(namesSeen.insert(name).second, "each name once");
        long size = 0;
        unsigned char* content = merged.createContent(e, &size);
        delete[] content;
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    archiveText texts[archiveCount];
    buildArchives(data, size, texts);
    std::vector<std::string> paths;
    for (int a = 0; a < archiveCount; a++) {
        paths.push_back(writeScratch("in" + std::to_string(a) + ".jar", texts[a].bytes()));
    }
    std::string output = scratchPath("merged.jar");
    zipArchive* archives[archiveCount] = {};
    std::string failure = thrownMessage([&] {
        for (int a = 0; a < archiveCount; a++) {
            archives[a] = new zipArchive(paths[a].c_str());
        }
        stringArray dropped;
        stringArray notes;
        zipMerge merge(archives, archiveCount, &dropped, &notes);
        packOutputFile out(output.c_str());
        merge.write(out, 0, "mainclass A");
        out.commit(0644);
    });
    for (zipArchive* archive : archives) {
        delete archive;
    }
    if (!failure.empty()) {
        expect(failure.compare(0, 14, "cannot merge '") == 0, "only reasoned refusals");
        return 0;
    }
    std::string readFailure = thrownMessage([&] { checkMerged(output); });
    expect(readFailure.empty(), "every merged entry reads back intact");
    return 0;
}
