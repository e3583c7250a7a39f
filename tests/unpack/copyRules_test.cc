#include "unpack/copyRules.h"
#include "unpack/storedEntries.h"
#include "util/owned.h"
#include "util/strings.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct textCase {
    const char* text;
    int expected;
};

TEST(CopyRules, ADigestIsSixtyFourLowerCaseHexDigits) {
    std::string good(64, 'a');
    std::string upper(64, 'A');
    std::string longer(65, '0');
    std::string shorter(63, 'f');
    std::string slash = std::string(63, '0') + "/";
    const textCase cases[] = {{good.c_str(), 1},    {upper.c_str(), 0}, {longer.c_str(), 0},
                              {shorter.c_str(), 0}, {slash.c_str(), 0}, {"", 0}};
    for (const textCase& c : cases) {
        EXPECT_EQ(c.expected, isCopyDigest(c.text)) << c.text;
    }
}

TEST(CopyRules, TheRootFollowsXdgCacheHomeThenHome) {
    const char* home = getenv("HOME");
    std::string savedHome = home != nullptr ? home : "";
    setenv("XDG_CACHE_HOME", "/c", 1);
    ownedString root(createCopyRoot());
    EXPECT_STREQ("/c/larkwin/unpacked", root.get());
    setenv("XDG_CACHE_HOME", "relative", 1);
    setenv("HOME", "/h", 1);
    root.reset(createCopyRoot());
    EXPECT_STREQ("/h/.cache/larkwin/unpacked", root.get());
    ownedString top(createCacheTop(root.get()));
    EXPECT_STREQ("/h/.cache/larkwin", top.get());
    unsetenv("XDG_CACHE_HOME");
    if (home != nullptr) {
        setenv("HOME", savedHome.c_str(), 1);
    } else {
        unsetenv("HOME");
    }
}

TEST(CopyRules, OnlyAFolderOfRootOrTheUserThatNoOneElseMayWriteIsTrusted) {
    struct ownerCase {
        unsigned owner;
        unsigned mode;
        int expected;
    };
    unsigned self = (unsigned)geteuid();
    unsigned other = self == 0 ? 4321 : (self == 1 ? 2 : self + 1);
    const ownerCase cases[] = {
        {self, S_IFDIR | 0755, 1}, {0, S_IFDIR | 0700, 1},    {self, S_IFDIR | 0775, 0},
        {self, S_IFDIR | 0757, 0}, {0, S_IFDIR | 01777, 0},   {other, S_IFDIR | 0755, 0},
        {self, S_IFREG | 0755, 0}, {self, S_IFLNK | 0777, 0},
    };
    for (const ownerCase& c : cases) {
        EXPECT_EQ(c.expected, isTrustedFolder(c.owner, c.mode)) << c.owner << " " << c.mode;
    }
}

TEST(CopyRules, ACopyIsUnusedAfterThirtyDaysAndRefreshedAfterOne) {
    struct ageCase {
        long age;
        int unused;
        int refresh;
    };
    const long day = 24 * 60 * 60;
    const ageCase cases[] = {{0, 0, 0},        {day - 1, 0, 0},      {day, 0, 1},
                             {30 * day, 0, 1}, {30 * day + 1, 1, 1}, {40 * day, 1, 1},
                             {-1, 0, 1},       {-40 * day, 0, 1}};
    time_t now = 1700000000;
    for (const ageCase& c : cases) {
        EXPECT_EQ(c.unused, isUnusedCopy(now - c.age, now)) << c.age;
        EXPECT_EQ(c.refresh, needsUseRefresh(now - c.age, now)) << c.age;
    }
}

class CopyFolders : public ::testing::Test {
  protected:
    void SetUp() override {
        char name[] = "/tmp/larkwin-copyrules-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(name));
        top = name;
        copy = top + "/unpacked/" + std::string(64, 'a');
        ASSERT_EQ(0, mkdir((top + "/unpacked").c_str(), 0700));
        ASSERT_EQ(0, mkdir(copy.c_str(), 0755));
    }
    void TearDown() override {
        unlink((copy + "/" + copyMarkName).c_str());
        rmdir(copy.c_str());
        rmdir((top + "/unpacked").c_str());
        rmdir(top.c_str());
    }
    std::string refusal() {
        ownedString why(createCopyRefusal(copy.c_str(), top.c_str()));
        return why != nullptr ? why.get() : "";
    }
    std::string top;
    std::string copy;
};

TEST_F(CopyFolders, TheMarkMustBeAFile) {
    EXPECT_EQ(0, hasCompletionMark(copy.c_str()));
    std::string mark = copy + "/" + copyMarkName;
    ASSERT_EQ(0, mkdir(mark.c_str(), 0700));
    EXPECT_EQ(0, hasCompletionMark(copy.c_str()));
    rmdir(mark.c_str());
    FILE* file = fopen(mark.c_str(), "w");
    ASSERT_NE(nullptr, file);
    fclose(file);
    EXPECT_EQ(1, hasCompletionMark(copy.c_str()));
}

TEST_F(CopyFolders, EveryFolderUpToTheTopIsChecked) {
    EXPECT_EQ("", refusal());
    chmod(copy.c_str(), 0775);
    EXPECT_EQ("'" + copy + "' may be written by its group or others", refusal());
    chmod(copy.c_str(), 0755);
    chmod((top + "/unpacked").c_str(), 0702);
    EXPECT_EQ("'" + top + "/unpacked' may be written by its group or others", refusal());
    chmod((top + "/unpacked").c_str(), 0700);
    chmod(top.c_str(), 0777);
    EXPECT_EQ("'" + top + "' may be written by its group or others", refusal());
    chmod(top.c_str(), 0700);
}

TEST(StoredEntries, NamesStayInsideTheFolder) {
    const textCase cases[] = {{"bin/java", 1},    {"lib/", 1}, {"a", 1},      {"", 0},
                              {"/etc/passwd", 0}, {"../x", 0}, {"a/../b", 0}, {"a//b", 0},
                              {"./a", 0},         {"a/.", 0},  {"a\nb", 0},   {"a/b/", 1},
                              {"..a", 1}};
    for (const textCase& c : cases) {
        EXPECT_EQ(c.expected, isSafeEntryName(c.text)) << c.text;
    }
}

TEST(StoredEntries, LinksStayInsideTheFolder) {
    struct linkCase {
        const char* name;
        const char* target;
        int expected;
    };
    const linkCase cases[] = {{"lib/a", "b", 1},
                              {"lib/a", "../bin/java", 1},
                              {"lib/a", "../../x", 0},
                              {"a", "../a", 0},
                              {"lib/a", "/usr/bin/java", 0},
                              {"lib/x/a", "./../../c", 1},
                              {"lib/x/a", "../../../c", 0},
                              {"a", "", 0}};
    for (const linkCase& c : cases) {
        EXPECT_EQ(c.expected, isInsideLink(c.name, c.target)) << c.name << " -> " << c.target;
    }
}

} // namespace
