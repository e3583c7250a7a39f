#include "testSupport.h"
#include "unix/fileOwners.h"

#include <gtest/gtest.h>
#include <unistd.h>

TEST(FileOwners, RootAndTheRunningUserAreTheLaunchersOwn) {
    EXPECT_EQ(1, isRootOrRunningUser(0));
    EXPECT_EQ(1, isRootOrRunningUser((unsigned)geteuid()));
    EXPECT_EQ(0, isRootOrRunningUser((unsigned)geteuid() + 4242));
    EXPECT_EQ(1, isSettingsOwner((unsigned)geteuid(), nullptr));
    EXPECT_EQ(0, isSettingsOwner((unsigned)geteuid() + 4242, nullptr));
}

TEST(FileOwners, SettingsOfTheLaunchersOwnerAreReadAndOfNoOtherUser) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a file to another user";
    }
    scratchDir dir;
    std::string launcher = dir.write("app", "");
    ASSERT_EQ(0, chown(launcher.c_str(), 4242, 4242));
    std::string link = dir.path("link");
    ASSERT_EQ(0, symlink(launcher.c_str(), link.c_str()));
    std::string missing = dir.path("missing");
    const struct {
        unsigned uid;
        const char* executable;
        int read;
    } cases[] = {
        {4242, launcher.c_str(), 1}, {4242, link.c_str(), 1},    {4343, launcher.c_str(), 0},
        {4242, nullptr, 0},          {4242, missing.c_str(), 0}, {0, launcher.c_str(), 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.read, isSettingsOwner(c.uid, c.executable))
            << c.uid << " " << (c.executable ? c.executable : "(null)");
    }
    EXPECT_EQ(4242, getFileOwner(launcher.c_str()));
    EXPECT_EQ(-1, getFileOwner(missing.c_str()));
}
