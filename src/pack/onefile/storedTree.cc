#include "pack/onefile/storedTree.h"

#include "pack/base/failure.h"
#include "pack/base/reasonedFiles.h"
#include "pack/zip/zipFormat.h"
#include "util/strings.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <nettle/sha2.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace {

struct treeEntry {
    std::string name;
    std::string path;
    struct stat status;
};

// The entries under folder, named relative to the tree's root, folders
// before their contents.
void listTree(const std::string& folder, const std::string& prefix,
              std::vector<treeEntry>& entries) {
    DIR* listing = opendir(folder.c_str());
    if (listing == nullptr) {
        fail("Unable to read '" + folder + "': " + strerror(errno));
    }
    std::vector<std::string> names;
    for (struct dirent* entry = readdir(listing); entry != nullptr; entry = readdir(listing)) {
        if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) {
            names.push_back(entry->d_name);
        }
    }
    closedir(listing);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        treeEntry entry{prefix + name, folder + "/" + name, {}};
        if (lstat(entry.path.c_str(), &entry.status) != 0) {
            fail("Unable to read '" + entry.path + "': " + strerror(errno));
        }
        bool isFolder = S_ISDIR(entry.status.st_mode);
        if (isFolder) {
            entry.name += "/";
        }
        entries.push_back(entry);
        if (isFolder) {
            listTree(entry.path, entry.name, entries);
        }
    }
}

// What an entry holds: a file's bytes, a link's target, nothing for a folder.
std::string readContent(const treeEntry& entry) {
    if (S_ISLNK(entry.status.st_mode)) {
        std::vector<char> target(4097);
        ssize_t length = readlink(entry.path.c_str(), target.data(), target.size());
        if (length <= 0 || length >= (ssize_t)target.size()) {
            fail("Unable to read the link '" + entry.path + "': " + strerror(errno));
        }
        return std::string(target.data(), (size_t)length);
    }
    if (S_ISDIR(entry.status.st_mode)) {
        return "";
    }
    if (!S_ISREG(entry.status.st_mode)) {
        fail("'" + entry.path + "' is neither file, folder nor link");
    }
    FILE* file = fopen(entry.path.c_str(), "rb");
    if (file == nullptr) {
        fail("Unable to read '" + entry.path + "': " + strerror(errno));
    }
    std::string content((size_t)entry.status.st_size, '\0');
    size_t got = content.empty() ? 0 : fread(&content[0], 1, content.size(), file);
    fclose(file);
    if (got != content.size()) {
        fail("Unable to read '" + entry.path + "': it changed while it was read");
    }
    return content;
}

class storedWriter {
  public:
    storedWriter(packOutputFile& out, long offset) : out(out), start(offset), at(offset) {
        sha256_init(&digest);
    }
    void add(const treeEntry& entry);
    storedPart finish();

  private:
    void hash(const void* data, size_t length) {
        sha256_update(&digest, length, (const uint8_t*)data);
    }
    void header(unsigned char* h, int shift, const treeEntry& entry, unsigned long crc, long size);

    packOutputFile& out;
    long start;
    long at;
    long count = 0;
    std::string central;
    struct sha256_ctx digest;
};

// The fields a local header (shift 2) and a central header (shift 0) share.
void storedWriter::header(unsigned char* h, int shift, const treeEntry& entry, unsigned long crc,
                          long size) {
    putZip2(h, zipVersionNeededField - shift, 20);
    putZip2(h, zipMethodField - shift, zipStored);
    putZip2(h, 14 - shift, 0x21); // 1980-01-01: no time of packing
    putZip4(h, zipCrcField - shift, (long)crc);
    putZip4(h, zipCompressedSizeField - shift, size);
    putZip4(h, zipSizeField - shift, size);
    putZip2(h, zipNameLengthField - shift, (long)entry.name.size());
}

void storedWriter::add(const treeEntry& entry) {
    std::string content = readContent(entry);
    long size = (long)content.size();
    if (entry.name.size() > 0xFFFF || ++count > zipMostEntries ||
        at + zipLocalHeaderSize + (long)entry.name.size() + size > zipLargestOffset) {
        fail("the runtime is too large for a one file: beyond 65535 entries or 4 GiB");
    }
    unsigned long crc = crc32(0L, (const Bytef*)content.data(), (uInt)content.size());
    unsigned mode = (unsigned)entry.status.st_mode;
    std::string kind = std::to_string(mode & S_IFMT) + " " + std::to_string(mode & 07777);
    hash(entry.name.c_str(), entry.name.size() + 1);
    hash(kind.c_str(), kind.size() + 1);
    std::string sizeText = std::to_string(size);
    hash(sizeText.c_str(), sizeText.size() + 1);
    hash(content.data(), content.size());
    unsigned char local[zipLocalHeaderSize] = {};
    putZip4(local, 0, zipLocalHeaderSignature);
    header(local, zipLocalShift, entry, crc, size);
    unsigned char headerBytes[zipHeaderSize] = {};
    putZip4(headerBytes, 0, zipHeaderSignature);
    putZip2(headerBytes, 4, 3 << 8 | 20); // made on Unix: the mode is in the upper attributes
    header(headerBytes, 0, entry, crc, size);
    putZip4(headerBytes, 38, (long)mode << 16);
    putZip4(headerBytes, zipLocalOffsetField, at);
    central.append((const char*)headerBytes, zipHeaderSize);
    central += entry.name;
    out.write(local, zipLocalHeaderSize);
    out.write(entry.name.data(), (long)entry.name.size());
    out.write(content.data(), size);
    at += zipLocalHeaderSize + (long)entry.name.size() + size;
}

storedPart storedWriter::finish() {
    unsigned char end[zipEndRecordSize] = {};
    putZip4(end, 0, 0x06054B50);
    putZip2(end, 8, count);
    putZip2(end, 10, count);
    putZip4(end, 12, (long)central.size());
    putZip4(end, 16, at);
    out.write(central.data(), (long)central.size());
    out.write(end, zipEndRecordSize);
    at += (long)central.size() + zipEndRecordSize;
    uint8_t bytes[SHA256_DIGEST_SIZE];
    sha256_digest(&digest, sizeof bytes, bytes);
    storedPart part;
    part.offset = start;
    part.length = at - start;
    char hex[3];
    for (uint8_t byte : bytes) {
        snprintf(hex, sizeof hex, "%02x", byte);
        part.digest += hex;
    }
    return part;
}

} // namespace

storedPart appendStoredTree(packOutputFile& out, long offset, const std::string& root) {
    std::vector<treeEntry> entries;
    listTree(root, "", entries);
    storedWriter writer(out, offset);
    for (const treeEntry& entry : entries) {
        writer.add(entry);
    }
    return writer.finish();
}
