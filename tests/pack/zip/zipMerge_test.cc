#include "pack/zip/zipMerge.h"

#include "pack/base/reasonedFiles.h"
#include "pack/zip/zipArchive.h"
#include "pack/zip/zipTestSupport.h"
#include "testSupport.h"
#include "util/stringArray.h"

#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <vector>
#include <zlib.h>

namespace {

struct readEntry {
    std::string name;
    std::string content;
    std::string stored;
};

std::string readFile(const std::string& path) {
    std::string content;
    FILE* file = fopen(path.c_str(), "rb");
    char chunk[4096];
    for (size_t got; (got = fread(chunk, 1, sizeof chunk, file)) > 0;) {
        content.append(chunk, got);
    }
    fclose(file);
    return content;
}

// The entries of a merged archive that starts after prefix bytes, checked
// as a reader would check them.
std::vector<readEntry> readEntries(const std::string& file, const std::string& comment) {
    size_t end = file.size() - 22 - comment.size();
    EXPECT_EQ(0x06054B50UL, get4(file, end));
    EXPECT_EQ(comment, file.substr(end + 22));
    unsigned count = get2(file, end + 10);
    EXPECT_EQ(count, get2(file, end + 8));
    size_t position = get4(file, end + 16);
    EXPECT_EQ(end, position + get4(file, end + 12));
    std::vector<readEntry> entries;
    for (unsigned i = 0; i < count; i++) {
        EXPECT_EQ(0x02014B50UL, get4(file, position));
        readEntry entry;
        entry.name = file.substr(position + 46, get2(file, position + 28));
        size_t size = get4(file, position + 20);
        size_t local = get4(file, position + 42);
        EXPECT_EQ(0x04034B50UL, get4(file, local)) << entry.name;
        EXPECT_EQ(entry.name, file.substr(local + 30, get2(file, local + 26)));
        size_t data = local + 30 + get2(file, local + 26) + get2(file, local + 28);
        entry.content = file.substr(data, size);
        if (get2(file, position + 10) == 0) {
            EXPECT_EQ(crc32(0, (const unsigned char*)entry.content.data(), size),
                      get4(file, position + 16))
                << entry.name;
        }
        entry.stored = file.substr(local, data + size - local);
        entries.push_back(entry);
        position +=
            46 + get2(file, position + 28) + get2(file, position + 30) + get2(file, position + 32);
    }
    return entries;
}

class ZipMergeTest : public ::testing::Test {
  protected:
    std::string write(const std::string& name, const archiveBuilder& archive) {
        return dir.write(name, archive.bytes());
    }

    // Merges the archives after a prefix and reads the result back.
    std::vector<readEntry> merge(const std::vector<std::string>& paths) {
        std::vector<zipArchive*> archives;
        for (const std::string& path : paths) {
            archives.push_back(new zipArchive(path.c_str()));
        }
        std::string output = dir.path("merged");
        std::string message = thrownMessage([&] {
            zipMerge merged(archives.data(), (int)archives.size(), &dropped, &notes);
            packOutputFile out(output.c_str());
            out.write(prefix.data(), (long)prefix.size());
            merged.write(out, (long)prefix.size(), "mainclass Main");
            out.commit(0644);
        });
        for (zipArchive* archive : archives) {
            delete archive;
        }
        if (!message.empty()) {
            failure = message;
            return {};
        }
        std::string content = readFile(output);
        EXPECT_EQ(prefix, content.substr(0, prefix.size()));
        return readEntries(content, "mainclass Main");
    }

    std::vector<std::string> names(const std::vector<readEntry>& entries) {
        std::vector<std::string> result;
        for (const readEntry& entry : entries) {
            result.push_back(entry.name);
        }
        return result;
    }

    std::vector<std::string> droppedLines() {
        std::vector<std::string> lines;
        for (int i = 0; i < dropped.size(); i++) {
            lines.push_back(dropped[i]);
        }
        return lines;
    }

    scratchDir dir;
    std::string prefix = "#!launcher bytes\n";
    stringArray dropped;
    stringArray notes;
    std::string failure;
};

TEST_F(ZipMergeTest, FirstOccurrenceWinsAndEachDroppedFileIsNamed) {
    archiveBuilder app;
    app.add("org/", "");
    app.add("org/App.class", "app");
    app.add("shared.txt", "from the app");
    archiveBuilder lib;
    lib.add("org/", "");
    lib.add("shared.txt", "from the library");
    lib.add("org/Lib.class", "lib");
    lib.add("org/App.class", "not the app");
    std::string appPath = write("app.jar", app);
    std::string libPath = write("lib.jar", lib);
    std::vector<readEntry> entries = merge({appPath, libPath});
    ASSERT_EQ("", failure);
    EXPECT_EQ((std::vector<std::string>{"org/", "org/App.class", "shared.txt", "org/Lib.class"}),
              names(entries));
    EXPECT_EQ("app", entries[1].content);
    EXPECT_EQ("from the app", entries[2].content);
    // The repeated directory passes without a word.
    std::string kept = "' (kept the one of '" + appPath + "')";
    EXPECT_EQ((std::vector<std::string>{"dropped duplicate 'shared.txt' of '" + libPath + kept,
                                        "dropped duplicate 'org/App.class' of '" + libPath + kept}),
              droppedLines());
}

TEST_F(ZipMergeTest, ServiceFilesAreJoinedWithALineFeedBetweenThem) {
    archiveBuilder app;
    app.add("META-INF/services/org.Spi", "org.AppSpi");
    app.add("META-INF/services/org.Only", "org.OnlyApp\n", signedDescriptor);
    archiveBuilder lib;
    lib.add("META-INF/services/org.Spi", "org.LibSpi\n", plainDescriptor);
    archiveBuilder empty;
    empty.add("META-INF/services/org.Spi", "");
    archiveBuilder more;
    more.add("META-INF/services/org.Spi", "org.MoreSpi");
    std::vector<readEntry> entries = merge({write("app.jar", app), write("lib.jar", lib),
                                            write("empty.jar", empty), write("more.jar", more)});
    ASSERT_EQ("", failure);
    ASSERT_EQ((std::vector<std::string>{"META-INF/services/org.Spi", "META-INF/services/org.Only"}),
              names(entries));
    EXPECT_EQ("org.AppSpi\norg.LibSpi\norg.MoreSpi", entries[0].content);
    // A service file that one jar alone holds is copied as it is stored.
    EXPECT_EQ("org.OnlyApp\n", entries[1].content);
    EXPECT_TRUE(droppedLines().empty());
}

TEST_F(ZipMergeTest, DeflatedServiceFilesAreInflatedToBeJoined) {
    archiveBuilder app;
    app.add("META-INF/services/org.Spi", "org.AppSpi\n", signedDescriptor, "", true);
    archiveBuilder empty;
    empty.add("META-INF/services/org.Spi", "", plainDescriptor, "", true);
    archiveBuilder lib;
    lib.add("META-INF/services/org.Spi", std::string(5000, '#') + "\norg.LibSpi", noDescriptor, "",
            true);
    std::vector<readEntry> entries =
        merge({write("app.jar", app), write("empty.jar", empty), write("lib.jar", lib)});
    ASSERT_EQ("", failure);
    ASSERT_EQ(1u, entries.size());
    EXPECT_EQ("org.AppSpi\n" + std::string(5000, '#') + "\norg.LibSpi", entries[0].content);

    // Deflated data that inflates to more than its recorded size.
    archiveBuilder longer;
    longer.add("META-INF/services/org.Spi", "org.LongerSpi\n", noDescriptor, "", true);
    std::string bytes = longer.bytes();
    size_t header = longer.body.size();
    bytes[header + 24] = (char)(bytes[header + 24] - 1);
    std::string damaged = dir.write("longer.jar", bytes);
    merge({write("app.jar", app), damaged});
    EXPECT_EQ("'" + damaged + "' holds a damaged entry", failure);
}

TEST_F(ZipMergeTest, EntriesAreCopiedAsStoredWithTheirDescriptors) {
    archiveBuilder app;
    app.add("App.class", "app", signedDescriptor, "XX\x04\x00ab");
    archiveBuilder lib;
    lib.add("Plain.class", "plain", plainDescriptor);
    lib.add("Signed.class", "signed", signedDescriptor);
    lib.add("None.class", "none");
    std::string appBytes = app.body;
    std::string libBytes = lib.body;
    std::vector<readEntry> entries = merge({write("app.jar", app), write("lib.jar", lib)});
    ASSERT_EQ("", failure);
    ASSERT_EQ(4u, entries.size());
    std::string merged = readFile(dir.path("merged"));
    // Everything in front of the central directory is the entries, whole.
    EXPECT_EQ(prefix + appBytes + libBytes,
              merged.substr(0, prefix.size() + appBytes.size() + libBytes.size()));
    EXPECT_EQ("plain", entries[1].content);
    EXPECT_EQ("signed", entries[2].content);
}

TEST_F(ZipMergeTest, DependencyManifestSignaturesAndDescriptorAreLeftOut) {
    archiveBuilder app;
    app.add("META-INF/MANIFEST.MF", "Main-Class: App\n");
    app.add("META-INF/APP.SF", "app signature");
    archiveBuilder lib;
    lib.add("META-INF/MANIFEST.MF", "Main-Class: Lib\n");
    lib.add("META-INF/LIB.SF", "sig");
    lib.add("META-INF/LIB.RSA", "sig");
    lib.add("module-info.class", "module");
    lib.add("Lib.class", "lib");
    std::vector<readEntry> entries = merge({write("app.jar", app), write("lib.jar", lib)});
    ASSERT_EQ("", failure);
    EXPECT_EQ((std::vector<std::string>{"META-INF/MANIFEST.MF", "META-INF/APP.SF", "Lib.class"}),
              names(entries));
    EXPECT_EQ("Main-Class: App\n", entries[0].content);
    EXPECT_TRUE(droppedLines().empty());
}

TEST_F(ZipMergeTest, DamagedEntriesFailTheMerge) {
    archiveBuilder app;
    app.add("META-INF/services/org.Spi", "org.AppSpi\n");
    archiveBuilder lib;
    lib.add("META-INF/services/org.Spi", "org.LibSpi\n");
    std::string bytes = lib.bytes();
    // The content no longer matches its CRC.
    bytes[30 + 25] = 'X';
    std::string damaged = dir.write("damaged.jar", bytes);
    merge({write("app.jar", app), damaged});
    EXPECT_EQ("'" + damaged + "' holds a damaged entry", failure);

    archiveBuilder other;
    other.add("Other.class", "other");
    bytes = other.bytes();
    bytes[0] = 'X';
    std::string header = dir.write("header.jar", bytes);
    merge({write("app.jar", app), header});
    EXPECT_EQ("'" + header + "' is not a zip archive", failure);

    // A descriptor that would run into the central directory.
    archiveBuilder cut;
    cut.add("Cut.class", "cut", plainDescriptor);
    bytes = cut.body.substr(0, cut.body.size() - 12) + cut.directory;
    put4(bytes, 0x06054B50);
    put4(bytes, 0);
    put2(bytes, 1);
    put2(bytes, 1);
    put4(bytes, cut.directory.size());
    put4(bytes, cut.body.size() - 12);
    put2(bytes, 0);
    std::string cutPath = dir.write("cut.jar", bytes);
    merge({write("app.jar", app), cutPath});
    EXPECT_EQ("'" + cutPath + "' is not a zip archive", failure);
}

TEST_F(ZipMergeTest, ManyNamesAreToldApartAndTooManyNeedZip64) {
    archiveBuilder app;
    archiveBuilder lib;
    for (int i = 0; i < 3000; i++) {
        app.add("e/" + std::to_string(i), "a");
        lib.add("e/" + std::to_string(i + 1500), "l");
    }
    std::vector<readEntry> entries = merge({write("app.jar", app), write("lib.jar", lib)});
    ASSERT_EQ("", failure);
    ASSERT_EQ(4500u, entries.size());
    EXPECT_EQ("e/4499", entries[4499].name);
    EXPECT_EQ("l", entries[4499].content);
    EXPECT_EQ("a", entries[2999].content);
    EXPECT_EQ(1500, dropped.size());

    archiveBuilder first;
    archiveBuilder second;
    for (int i = 0; i < 33000; i++) {
        first.add("a" + std::to_string(i), "");
        second.add("b" + std::to_string(i), "");
    }
    merge({write("first.jar", first), write("second.jar", second)});
    EXPECT_EQ("the merged archive needs ZIP64 records, which larkwin-pack cannot write", failure);
}

TEST_F(ZipMergeTest, EmptyArchivesMergeIntoAnEmptyOne) {
    archiveBuilder none;
    std::vector<readEntry> entries = merge({write("a.jar", none), write("b.jar", none)});
    EXPECT_EQ("", failure);
    EXPECT_TRUE(entries.empty());
}

TEST_F(ZipMergeTest, RegistriesAreJoinedByWhatTheyAre) {
    std::string groovy = "META-INF/services/org.codehaus.groovy.runtime.ExtensionModule";
    archiveBuilder app;
    app.add(groovy, "moduleName=a\nmoduleVersion=1\nextensionClasses=a.A\n");
    app.add("META-INF/spring.factories", "x.Spi=a.One\n");
    app.add("META-INF/spring.handlers", "http\\://a=a.Handler");
    app.add("META-INF/spring/x.AutoConfiguration.imports", "a.Config");
    archiveBuilder lib;
    lib.add(groovy, "moduleName=b\nmoduleVersion=2\nextensionClasses=b.B\n", plainDescriptor, "",
            true);
    lib.add("META-INF/spring.factories", "x.Spi=b.One\ny.Spi=b.Two\n");
    lib.add("META-INF/spring.handlers", "http\\://a=b.Handler\n");
    lib.add("META-INF/spring/x.AutoConfiguration.imports", "b.Config\n");
    std::vector<readEntry> entries = merge({write("app.jar", app), write("lib.jar", lib)});
    ASSERT_EQ("", failure);
    ASSERT_EQ(4u, entries.size());
    EXPECT_EQ("moduleName=a,b\nmoduleVersion=1\nextensionClasses=a.A,b.B\n", entries[0].content);
    EXPECT_EQ("x.Spi=a.One,b.One\ny.Spi=b.Two\n", entries[1].content);
    // Loaded in turn, the later copy wins, as it did on the class path.
    EXPECT_EQ("http\\://a=a.Handler\nhttp\\://a=b.Handler\n", entries[2].content);
    EXPECT_EQ("a.Config\nb.Config\n", entries[3].content);
    EXPECT_TRUE(droppedLines().empty());
}

TEST_F(ZipMergeTest, WhatCannotBeJoinedIsRefusedNamingTheEntryAndTheJar) {
    archiveBuilder app;
    app.add("META-INF/spring.schemas", "a=b\\");
    archiveBuilder lib;
    lib.add("META-INF/spring.schemas", "c=d");
    std::string appPath = write("app.jar", app);
    merge({appPath, write("lib.jar", lib)});
    EXPECT_EQ("cannot merge 'META-INF/spring.schemas' of '" + appPath +
                  "': its last line continues, and would run into the next jar's copy",
              failure);

    std::string plugins = "META-INF/org/apache/logging/log4j/core/config/plugins/Log4j2Plugins.dat";
    archiveBuilder core;
    core.add(plugins, "\x01\x02");
    archiveBuilder extra;
    extra.add(plugins, "\x03");
    std::string extraPath = write("extra.jar", extra);
    merge({write("core.jar", core), extraPath});
    EXPECT_EQ("cannot merge '" + plugins + "' of '" + extraPath +
                  "': another jar holds it too, and larkwin-pack cannot join them",
              failure);
}

TEST_F(ZipMergeTest, DependenciesNoticesAreKeptUnderTheirJarsName) {
    archiveBuilder app;
    app.add("META-INF/LICENSE", "app licence");
    archiveBuilder lib;
    lib.add("META-INF/LICENSE", "lib licence", plainDescriptor, "", true);
    lib.add("META-INF/NOTICE.txt", "lib notice");
    lib.add("LICENSE", "lib root licence");
    archiveBuilder same;
    same.add("META-INF/LICENSE", "another lib.jar");
    std::string samePath = dir.path("other");
    ASSERT_EQ(0, mkdir(samePath.c_str(), 0700));
    samePath = dir.write("other/lib.jar", same.bytes());
    std::string libPath = write("lib.jar", lib);
    std::vector<readEntry> entries = merge({write("app.jar", app), libPath, samePath});
    ASSERT_EQ("", failure);
    EXPECT_EQ((std::vector<std::string>{"META-INF/LICENSE", "META-INF/licenses/lib.jar/LICENSE",
                                        "META-INF/NOTICE.txt", "LICENSE"}),
              names(entries));
    EXPECT_EQ("lib licence", entries[1].content);
    EXPECT_EQ((std::vector<std::string>{"dropped duplicate 'META-INF/LICENSE' of '" + samePath +
                                        "' (kept the one of '" + libPath + "')"}),
              droppedLines());
}

const char* manifestName = "META-INF/MANIFEST.MF";

TEST_F(ZipMergeTest, MultiReleaseIsKeptWhenADependencyHasIt) {
    archiveBuilder app;
    app.add(manifestName, "Manifest-Version: 1.0\r\nClass-Path: lib.jar\r\n  more.jar\r\n"
                          "Main-Class: App\r\n\r\n");
    app.add("META-INF/versions/11/App.class", "never read");
    archiveBuilder lib;
    lib.add(manifestName, "Manifest-Version: 1.0\nMulti-Release: true\n\n");
    lib.add("META-INF/versions/11/Lib.class", "lib 11");
    std::string appPath = write("app.jar", app);
    std::vector<readEntry> entries = merge({appPath, write("lib.jar", lib)});
    ASSERT_EQ("", failure);
    EXPECT_EQ((std::vector<std::string>{manifestName, "META-INF/versions/11/Lib.class"}),
              names(entries));
    EXPECT_EQ("Manifest-Version: 1.0\r\nMain-Class: App\r\nMulti-Release: true\r\n\r\n",
              entries[0].content);
    ASSERT_EQ(1, notes.size());
    EXPECT_EQ("left out 'META-INF/versions/11/App.class' of '" + appPath +
                  "': that jar is not multi-release, so the entry was never read; the merged "
                  "archive is",
              std::string(notes[0]));

    // A first jar without a manifest gets one.
    archiveBuilder bare;
    bare.add("App.class", "app");
    entries = merge({write("bare.jar", bare), write("lib.jar", lib)});
    ASSERT_EQ("", failure);
    ASSERT_EQ(3u, entries.size());
    EXPECT_EQ(manifestName, entries[0].name);
    EXPECT_EQ("Manifest-Version: 1.0\r\nMulti-Release: true\r\n\r\n", entries[0].content);
}

TEST_F(ZipMergeTest, ASignatureIsRemovedOnlyWhenTheMergeChangesWhatItSigned) {
    archiveBuilder app;
    app.add(manifestName, "Manifest-Version: 1.0\r\n\r\nName: App.class\r\nSHA-256-Digest: x\r\n");
    app.add("META-INF/SIGNER.SF", "sf");
    app.add("META-INF/SIGNER.RSA", "rsa");
    app.add("META-INF/services/org.Spi", "org.AppSpi\n");
    archiveBuilder plain;
    plain.add("Lib.class", "lib");
    std::string appPath = write("app.jar", app);
    std::vector<readEntry> entries = merge({appPath, write("plain.jar", plain)});
    ASSERT_EQ("", failure);
    EXPECT_EQ(5u, entries.size());
    EXPECT_EQ(0, notes.size());

    archiveBuilder provider;
    provider.add("META-INF/services/org.Spi", "org.LibSpi\n");
    entries = merge({appPath, write("provider.jar", provider)});
    ASSERT_EQ("", failure);
    EXPECT_EQ((std::vector<std::string>{manifestName, "META-INF/services/org.Spi"}),
              names(entries));
    ASSERT_EQ(1, notes.size());
    EXPECT_EQ("removed the signature of '" + appPath +
                  "': the merge changes its 'META-INF/services/org.Spi', so the signature would "
                  "no longer match",
              std::string(notes[0]));
}

TEST_F(ZipMergeTest, NamesArePrintedOnOneLineWithControlCharactersEscaped) {
    archiveBuilder app;
    app.add("a\nb\x1b[31m\\c", "app");
    archiveBuilder lib;
    lib.add("a\nb\x1b[31m\\c", "lib");
    std::string appPath = write("app.jar", app);
    std::string libPath = write("lib.jar", lib);
    merge({appPath, libPath});
    ASSERT_EQ("", failure);
    EXPECT_EQ((std::vector<std::string>{"dropped duplicate 'a\\x0ab\\x1b[31m\\\\c' of '" + libPath +
                                        "' (kept the one of '" + appPath + "')"}),
              droppedLines());
}

} // namespace
