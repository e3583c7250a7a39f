#include "pack/image/directoryTree.h"

#include "testSupport.h"

#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isLink(const std::string& path) {
    struct stat status;
    return lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

std::string linkTarget(const std::string& path) {
    char target[4096];
    ssize_t length = readlink(path.c_str(), target, sizeof target);
    return length < 0 ? "" : std::string(target, length);
}

TEST(DirectoryTree, ASelfContainedCopyReplacesOnlyLinksThatLeadOutside) {
    scratchDir dir;
    dir.mkdir("home");
    dir.mkdir("home/lib");
    dir.write("home/lib/inside", "inside");
    dir.mkdir("etc");
    dir.mkdir("etc/security");
    dir.write("etc/security/java.security", "settings");
    dir.write("etc/cacerts", "certificates");
    ASSERT_EQ(0, symlink("inside", dir.path("home/lib/near").c_str()));
    ASSERT_EQ(0, symlink(dir.path("etc/cacerts").c_str(), dir.path("home/lib/cacerts").c_str()));
    ASSERT_EQ(0, symlink("../../etc/security", dir.path("home/lib/security").c_str()));
    ASSERT_EQ(0, symlink("/nonexistent/src.zip", dir.path("home/lib/src.zip").c_str()));
    std::string copy = dir.path("copy");
    EXPECT_EQ(
        "", thrownMessage([&] { copySelfContainedTree(dir.path("home").c_str(), copy.c_str()); }));
    EXPECT_TRUE(isLink(copy + "/lib/near"));
    EXPECT_EQ("inside", linkTarget(copy + "/lib/near"));
    EXPECT_FALSE(isLink(copy + "/lib/cacerts"));
    EXPECT_EQ("certificates", readFile(copy + "/lib/cacerts"));
    EXPECT_FALSE(isLink(copy + "/lib/security"));
    EXPECT_EQ("settings", readFile(copy + "/lib/security/java.security"));
    // A link that leads nowhere leads nowhere in the copy too.
    EXPECT_EQ("/nonexistent/src.zip", linkTarget(copy + "/lib/src.zip"));

    // The plain copy keeps every link.
    std::string plain = dir.path("plain");
    copyTree(dir.path("home").c_str(), plain.c_str());
    EXPECT_TRUE(isLink(plain + "/lib/security"));
}

TEST(DirectoryTree, ALinkLoopOutsideIsRefusedWithTheReason) {
    scratchDir dir;
    dir.mkdir("home");
    dir.mkdir("outside");
    ASSERT_EQ(0, symlink("..", dir.path("outside/up").c_str()));
    ASSERT_EQ(0, symlink(dir.path("outside").c_str(), dir.path("home/out").c_str()));
    // The copy lies elsewhere, out of the loop's reach.
    scratchDir elsewhere;
    std::string failure = thrownMessage(
        [&] { copySelfContainedTree(dir.path("home").c_str(), elsewhere.path("copy").c_str()); });
    EXPECT_NE(std::string::npos, failure.find("Too many levels of symbolic links")) << failure;
}

} // namespace
