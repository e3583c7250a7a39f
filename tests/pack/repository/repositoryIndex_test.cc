#include "pack/repository/repositoryIndex.h"

#include <gtest/gtest.h>

static bool numericallyOlder(const std::string& a, const std::string& b, void*) {
    return std::stoi(a) < std::stoi(b);
}

static std::string names(const std::vector<repositoryPackage>& packages) {
    std::string text;
    for (const repositoryPackage& package : packages) {
        text += package.name + "/" + package.architecture + "/" + package.version + " ";
    }
    return text;
}

// Versions compared as the package manager compares them (here: as
// numbers, where "10" is newer than "9"), each name and architecture kept
// apart.
TEST(repositoryIndexTest, newestVersionsOfEachPackageStay) {
    std::vector<repositoryPackage> packages = {{"b", "10", "amd64", ""}, {"b", "9", "amd64", ""},
                                               {"a", "2", "amd64", ""},  {"b", "1", "amd64", ""},
                                               {"b", "2", "arm64", ""},  {"b", "11", "amd64", ""},
                                               {"a", "1", "amd64", ""}};
    sortPackages(packages, numericallyOlder, nullptr);
    EXPECT_EQ("a/amd64/1 a/amd64/2 b/amd64/1 b/amd64/9 b/amd64/10 b/amd64/11 b/arm64/2 ",
              names(packages));
    struct {
        int keep;
        const char* kept;
        const char* outdated;
    } cases[] = {
        {3, "a/amd64/1 a/amd64/2 b/amd64/9 b/amd64/10 b/amd64/11 b/arm64/2 ", "b/amd64/1 "},
        {1, "a/amd64/2 b/amd64/11 b/arm64/2 ", "a/amd64/1 b/amd64/1 b/amd64/9 b/amd64/10 "},
        {9, "a/amd64/1 a/amd64/2 b/amd64/1 b/amd64/9 b/amd64/10 b/amd64/11 b/arm64/2 ", ""},
    };
    for (const auto& test : cases) {
        std::vector<repositoryPackage> kept, outdated;
        splitByAge(packages, test.keep, kept, outdated);
        EXPECT_EQ(test.kept, names(kept)) << test.keep;
        EXPECT_EQ(test.outdated, names(outdated)) << test.keep;
    }
}

TEST(repositoryIndexTest, releaseHashesOfTheSha256SectionAlone) {
    std::string release = "Suite: stable\nMD5Sum:\n 0123 10 main/binary-amd64/Packages\n"
                          "SHA256:\n aaaa              448 main/binary-amd64/Packages\n"
                          " bbbb 355 main/binary-amd64/Packages.gz\nSHA512:\n cccc 1 x\n";
    auto found = findReleaseHashes(release);
    ASSERT_EQ(2u, found.size());
    EXPECT_EQ("aaaa", found[0].first);
    EXPECT_EQ("main/binary-amd64/Packages", found[0].second);
    EXPECT_EQ("main/binary-amd64/Packages.gz", found[1].second);
    EXPECT_TRUE(findReleaseHashes("Suite: stable\n").empty());
}

TEST(repositoryIndexTest, repomdNamesItsMetadataFiles) {
    std::string repomd =
        "<data type=\"primary\">\n  <location href=\"repodata/ab-primary.xml.gz\"/>"
        "\n<data type=\"other\"><location href=\"repodata/cd-other.xml.gz\"/>"
        "<location href=\"elsewhere/x\"/>";
    std::vector<std::string> expected = {"ab-primary.xml.gz", "cd-other.xml.gz"};
    EXPECT_EQ(expected, findRepomdFiles(repomd));
}
