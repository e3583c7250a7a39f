#include "pack/image/treeTimes.h"
#include "testSupport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
time_t timeOf(const std::string& path) {
    struct stat status;
    return lstat(path.c_str(), &status) == 0 ? status.st_mtime : -1;
}

void setTime(const std::string& path, time_t when) {
    struct timespec times[2] = {{when, 0}, {when, 0}};
    utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}
} // namespace

// Newer entries take the epoch (a link itself, not what it names; the
// directories after their entries); older ones keep their time.
TEST(TreeTimesTest, ClampsNewerEntriesToTheEpoch) {
    scratchDir scratch;
    std::string top = scratch.mkdir("image");
    scratch.mkdir("image/lib");
    std::string newer = scratch.write("image/lib/new.jar", "n");
    std::string older = scratch.write("image/lib/old.jar", "o");
    std::string outside = scratch.write("outside", "x");
    std::string link = scratch.path("image/lib/link");
    ASSERT_EQ(0, symlink(outside.c_str(), link.c_str()));
    setTime(older, 1000);
    {
        environmentVariable unset("SOURCE_DATE_EPOCH", nullptr);
        clampTreeTimes(top.c_str());
        EXPECT_NE(5000, timeOf(newer));
    }
    environmentVariable epoch("SOURCE_DATE_EPOCH", "5000");
    clampTreeTimes(top.c_str());
    EXPECT_EQ(5000, timeOf(newer));
    EXPECT_EQ(1000, timeOf(older));
    EXPECT_EQ(5000, timeOf(link));
    EXPECT_EQ(5000, timeOf(scratch.path("image/lib")));
    EXPECT_EQ(5000, timeOf(top));
    EXPECT_NE(5000, timeOf(outside));
}
