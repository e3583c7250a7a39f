#include "testSupport.h"
#include "unix/outputFile.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

// The names in a directory, sorted, separated by spaces.
static std::string listing(const std::string& directory) {
    struct dirent** entries = nullptr;
    int count = scandir(directory.c_str(), &entries, nullptr, alphasort);
    std::string names;
    for (int i = 0; i < count; i++) {
        if (entries[i]->d_name[0] != '.') {
            names += (names.empty() ? "" : " ") + std::string(entries[i]->d_name);
        }
        free(entries[i]);
    }
    free(entries);
    return names;
}

TEST(OutputFile, AppearsWholeWithItsModeOnlyWhenCommitted) {
    scratchDir dir;
    std::string source = dir.write("source", std::string("0123\0"
                                                         "56789",
                                                         10));
    std::string target = dir.write("target", "old");
    {
        outputFile out(target.c_str());
        out.write("head:", 5);
        out.appendFileRange(source.c_str(), 3, 4);
        EXPECT_EQ("old", readFile(target));
        out.commit(0755);
    }
    EXPECT_EQ(std::string("head:3\0"
                          "56",
                          9),
              readFile(target));
    struct stat status;
    ASSERT_EQ(0, stat(target.c_str(), &status));
    EXPECT_EQ(0755, (int)(status.st_mode & 07777));
    EXPECT_EQ("source target", listing(dir.root));
}

TEST(OutputFile, UncommittedFileLeavesNothingBehind) {
    scratchDir dir;
    std::string target = dir.write("target", "old");
    std::string source = dir.write("source", "short");
    std::string missing = dir.path("missing");
    {
        outputFile out(target.c_str());
        out.write("new", 3);
        EXPECT_EQ("Unable to read '" + source + "'",
                  thrownMessage([&] { out.appendFileRange(source.c_str(), 2, 4); }));
        EXPECT_EQ("Unable to open '" + missing + "'",
                  thrownMessage([&] { out.appendFileRange(missing.c_str(), 0, 1); }));
    }
    EXPECT_EQ("old", readFile(target));
    EXPECT_EQ("source target", listing(dir.root));
}

TEST(OutputFile, UnwritablePlacesAreReported) {
    scratchDir dir;
    std::string notDirectory = dir.write("file", "") + "/target";
    EXPECT_EQ("Unable to create '" + notDirectory + "'",
              thrownMessage([&] { outputFile out(notDirectory.c_str()); }));
    std::string directory = dir.mkdir("directory");
    EXPECT_EQ("Unable to write '" + directory + "'", thrownMessage([&] {
                  outputFile out(directory.c_str());
                  out.commit(0755);
              }));
    EXPECT_EQ("directory file", listing(dir.root));
}
