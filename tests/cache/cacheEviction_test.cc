#include "cache/cacheEviction.h"
#include "cache/cacheRecord.h"
#include "testSupport.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>
#include <utime.h>

namespace {
const char* const someKey = "00000000000000";

// An archive of size bytes of the application app (a 16-hex-digit hash),
// last used at lastUse, of the executable exe.
void addArchive(const scratchDir& dir, const std::string& app, int key, size_t size, long lastUse,
                const std::string& exe) {
    char keyHex[17];
    snprintf(keyHex, sizeof keyHex, "%s%02x", someKey, key);
    std::string name = "App-" + app + "-" + keyHex + ".jsa";
    std::string archive = dir.write(name, std::string(size, 'a'));
    chmod(archive.c_str(), 0400);
    cacheRecord record;
    record.takeFileState(archive.c_str());
    record.set(record.executable, exe.c_str());
    record.set(record.mainClass, "App");
    record.set(record.runtimeHome, "/jdk");
    record.set(record.runtimeVersion, "17");
    ASSERT_TRUE(record.write((archive + ".info").c_str()));
    struct utimbuf times = {lastUse, lastUse};
    utime((archive + ".info").c_str(), &times);
}

std::set<std::string> archivesIn(const scratchDir& dir) {
    std::set<std::string> names;
    DIR* listing = opendir(dir.root.c_str());
    for (struct dirent* found = readdir(listing); found != nullptr; found = readdir(listing)) {
        std::string name = found->d_name;
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".jsa") == 0) {
            names.insert(name.substr(name.size() - 6, 2));
        }
    }
    closedir(listing);
    return names;
}

const std::string appA = "aaaaaaaaaaaaaaaa";
const std::string appB = "bbbbbbbbbbbbbbbb";
} // namespace

TEST(CacheEviction, KnowsItsOwnNames) {
    EXPECT_EQ(41, getArchiveNameLength("App-0123456789abcdef-0123456789abcdef.jsa"));
    EXPECT_EQ(41, getArchiveNameLength("App-0123456789abcdef-0123456789abcdef.jsa.info"));
    EXPECT_EQ(0, getArchiveNameLength("App-0123456789abcdeX-0123456789abcdef.jsa"));
    EXPECT_EQ(0, getArchiveNameLength("notes.jsa"));
    EXPECT_EQ(0, getArchiveNameLength("App-0123456789abcdef-0123456789abcdef.txt"));
}

TEST(CacheEviction, TheLeastRecentlyUsedGoBeyondTheLimit) {
    scratchDir dir;
    std::string exe = dir.write("exe", "");
    addArchive(dir, appA, 1, 4000, 1000, exe);
    addArchive(dir, appB, 2, 4000, 3000, exe);
    addArchive(dir, appA, 3, 4000, 2000, exe);
    evictArchives(dir.root.c_str(), 9000);
    EXPECT_EQ((std::set<std::string>{"02", "03"}), archivesIn(dir));
    evictArchives(dir.root.c_str(), 10);
    EXPECT_EQ((std::set<std::string>{"02"}), archivesIn(dir)) << "the newest always stays";
}

TEST(CacheEviction, AnApplicationKeepsAFewKeysSideBySide) {
    scratchDir dir;
    std::string exe = dir.write("exe", "");
    for (int key = 1; key <= maxKeysPerApplication + 2; key++) {
        addArchive(dir, appA, key, 100, 1000 + key, exe);
    }
    addArchive(dir, appB, 9, 100, 10, exe);
    evictArchives(dir.root.c_str(), 1 << 30);
    EXPECT_EQ((std::set<std::string>{"03", "04", "05", "06", "09"}), archivesIn(dir));
}

TEST(CacheEviction, ArchivesOfVanishedApplicationsAndOldLeftoversGo) {
    scratchDir dir;
    std::string exe = dir.write("exe", "");
    addArchive(dir, appA, 1, 100, 1000, exe);
    addArchive(dir, appB, 2, 100, 2000, dir.path("deleted-bundle"));
    std::string orphan = dir.write("App-" + appA + "-" + someKey + "07.jsa", "x");
    std::string young = dir.write("App-" + appA + "-" + someKey + "08.jsa", "x");
    std::string list = dir.write("App-" + appA + "-" + someKey + "05.jsa.Ab12Cd.classlist", "x");
    std::string other = dir.write("notes.txt", "mine");
    struct utimbuf old = {1000, 1000};
    utime(orphan.c_str(), &old);
    utime(list.c_str(), &old);
    utime(other.c_str(), &old);
    evictArchives(dir.root.c_str(), 1 << 30);
    EXPECT_EQ((std::set<std::string>{"01", "08"}), archivesIn(dir));
    struct stat status;
    EXPECT_NE(0, stat(list.c_str(), &status));
    EXPECT_EQ(0, stat(other.c_str(), &status)) << "not a name of the cache";
    EXPECT_NE(0, stat(dir.path("App-" + appB + "-" + someKey + "02.jsa.info").c_str(), &status));
}

// What a user found of an app image's archive outlives a day without an
// archive of its own name, not a month without use.
TEST(CacheEviction, RecordsOfImageArchivesGoAfterAMonthUnused) {
    scratchDir dir;
    std::string recent = dir.write("App-" + appA + "-" + someKey + "01.jsa.shipped", "x");
    std::string unused = dir.write("App-" + appA + "-" + someKey + "02.jsa.shipped", "x");
    time_t now = time(nullptr);
    struct utimbuf twoDays = {now - 2 * 86400, now - 2 * 86400};
    struct utimbuf twoMonths = {now - 60 * 86400, now - 60 * 86400};
    utime(recent.c_str(), &twoDays);
    utime(unused.c_str(), &twoMonths);
    evictArchives(dir.root.c_str(), 1 << 30);
    struct stat status;
    EXPECT_EQ(0, stat(recent.c_str(), &status));
    EXPECT_NE(0, stat(unused.c_str(), &status));
}
