#include "unpack/privateCopies.h"

#include "../testSupport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(PrivateCopies, ANameIsLarkwinAndSixLettersOrDigits) {
    const struct {
        const char* name;
        int expected;
    } cases[] = {{"larkwin-a1B2c3", 1}, {"larkwin-a1B2c", 0},   {"larkwin-a1B2c3d", 0},
                 {"larkwin-a1B.c3", 0}, {"larkwin-test-x", 0},  {"Larkwin-a1B2c3", 0},
                 {"larkwin-", 0},       {".larkwin-a1B2c3", 0}, {"", 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.expected, isPrivateCopyName(c.name)) << c.name;
    }
}

// What a sweep removes: only a marked folder of the user, by a private name,
// that no start holds locked; a link is not followed.
TEST(PrivateCopies, ASweepRemovesOnlyMarkedFoldersThatNoStartHolds) {
    scratchDir scratch;
    const std::string mark = std::string("/") + privateMarkName;
    std::string left = scratch.mkdir("larkwin-aaaaaa");
    scratch.write("larkwin-aaaaaa" + mark, "");
    scratch.mkdir("larkwin-aaaaaa/bin");
    scratch.write("larkwin-aaaaaa/bin/java", "x");
    std::string held = scratch.mkdir("larkwin-bbbbbb");
    scratch.write("larkwin-bbbbbb" + mark, "");
    std::string unmarked = scratch.mkdir("larkwin-cccccc");
    std::string otherName = scratch.mkdir("larkwin-other-dddddd");
    scratch.write("larkwin-other-dddddd" + mark, "");
    std::string target = scratch.mkdir("target");
    scratch.write("target" + mark, "");
    std::string link = scratch.path("larkwin-eeeeee");
    ASSERT_EQ(0, symlink(target.c_str(), link.c_str()));
    // A lock of another open file description, as another start's.
    int holder = open(held.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(0, flock(holder, LOCK_EX));
    sweepPrivateCopies(scratch.root.c_str());
    struct stat status;
    EXPECT_NE(0, lstat(left.c_str(), &status));
    EXPECT_EQ(0, lstat((held + mark).c_str(), &status));
    EXPECT_EQ(0, lstat(unmarked.c_str(), &status));
    EXPECT_EQ(0, lstat((otherName + mark).c_str(), &status));
    EXPECT_EQ(0, lstat((target + mark).c_str(), &status));
    EXPECT_EQ(0, lstat(link.c_str(), &status));
    close(holder);
    sweepPrivateCopies(scratch.root.c_str());
    EXPECT_NE(0, lstat(held.c_str(), &status));
}

TEST(PrivateCopies, TheBaseIsXdgRuntimeDirThenTmpdirThenTmp) {
    scratchDir scratch;
    std::string runtimeDir = scratch.mkdir("run");
    std::string tmpdir = scratch.mkdir("tmp");
    environmentVariable runtimeVariable("XDG_RUNTIME_DIR", runtimeDir.c_str());
    environmentVariable tmpVariable("TMPDIR", tmpdir.c_str());
    EXPECT_EQ(runtimeDir, privateCopyBase());
    environmentVariable missing("XDG_RUNTIME_DIR", scratch.path("gone").c_str());
    EXPECT_EQ(tmpdir, privateCopyBase());
    environmentVariable relative("TMPDIR", "tmp");
    EXPECT_STREQ("/tmp", privateCopyBase());
}

} // namespace
