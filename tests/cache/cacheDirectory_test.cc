#include "cache/cacheDirectory.h"
#include "processSupport.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {
std::string defaultOf(const char* xdg, const char* home) {
    ownedString directory(createDefaultCacheDirectory(xdg, home));
    return directory ? directory.get() : "<off>";
}

int modeOf(const std::string& path) {
    struct stat status;
    stat(path.c_str(), &status);
    return status.st_mode & 07777;
}
} // namespace

TEST(CacheDirectory, DefaultIsXdgCacheHomeThenHomeThenOff) {
    EXPECT_EQ("/x/cache/larkwin", defaultOf("/x/cache", "/home/u"));
    EXPECT_EQ("/home/u/.cache/larkwin", defaultOf(nullptr, "/home/u"));
    EXPECT_EQ("/home/u/.cache/larkwin", defaultOf("", "/home/u")) << "empty counts as unset";
    EXPECT_EQ("/home/u/.cache/larkwin", defaultOf("relative", "/home/u"));
    EXPECT_EQ("<off>", defaultOf(nullptr, nullptr));
    EXPECT_EQ("<off>", defaultOf("", ""));
}

TEST(CacheDirectory, IsMadeWithEveryMissingParentPrivate) {
    scratchDir dir;
    std::string deep = dir.path("a/b/larkwin");
    ASSERT_EQ(0, makeCacheDirectory(deep.c_str()));
    EXPECT_EQ(0700, modeOf(dir.path("a")));
    EXPECT_EQ(0700, modeOf(deep));
    EXPECT_TRUE(isTrustedDirectory(deep.c_str()));
    EXPECT_EQ(0, makeCacheDirectory(deep.c_str())) << "an existing one is fine";
}

TEST(CacheDirectory, CannotBeMadeUnderAFile) {
    scratchDir dir;
    dir.write("file", "x");
    EXPECT_NE(0, makeCacheDirectory(dir.path("file/larkwin").c_str()));
    EXPECT_NE(0, makeCacheDirectory(dir.path("file").c_str()));
    EXPECT_FALSE(isTrustedDirectory(dir.path("file").c_str()));
}

TEST(CacheDirectory, OneThatOthersMayWriteIsNotTrusted) {
    scratchDir dir;
    std::string shared = dir.mkdir("shared");
    chmod(shared.c_str(), 0777);
    EXPECT_FALSE(isTrustedDirectory(shared.c_str()));
    chmod(shared.c_str(), 0770);
    EXPECT_FALSE(isTrustedDirectory(shared.c_str()));
    chmod(shared.c_str(), 0755);
    EXPECT_TRUE(isTrustedDirectory(shared.c_str()));
    EXPECT_FALSE(isTrustedDirectory(dir.path("missing").c_str()));
}

TEST(CacheArchive, IsTrustedOnlyWithItsStampWhole) {
    scratchDir dir;
    std::string archive = dir.write("a.jsa", std::string(8192, 'x'));
    long long stamp = getArchiveStamp(0x1234567890abcdefull);
    EXPECT_EQ(0, stamp % 2);
    EXPECT_FALSE(isTrustedArchive(archive.c_str(), stamp)) << "not stamped yet";
    ASSERT_TRUE(stampArchive(archive.c_str(), stamp));
    EXPECT_TRUE(isTrustedArchive(archive.c_str(), stamp));
    EXPECT_FALSE(isTrustedArchive(archive.c_str(), getArchiveStamp(1)));

    chmod(archive.c_str(), 0666);
    EXPECT_FALSE(isTrustedArchive(archive.c_str(), stamp)) << "others may write it";
    chmod(archive.c_str(), 0444);
    EXPECT_TRUE(isTrustedArchive(archive.c_str(), stamp));

    truncate(archive.c_str(), 100);
    EXPECT_FALSE(isTrustedArchive(archive.c_str(), stamp)) << "cut short";
}

TEST(CacheArchive, ALinkOrAnEmptyFileIsNotTrusted) {
    scratchDir dir;
    std::string target = dir.write("target", std::string(8192, 'x'));
    long long stamp = getArchiveStamp(7);
    stampArchive(target.c_str(), stamp);
    std::string link = dir.path("link.jsa");
    ASSERT_EQ(0, symlink(target.c_str(), link.c_str()));
    EXPECT_FALSE(isTrustedArchive(link.c_str(), stamp));
    std::string empty = dir.write("empty.jsa", "");
    stampArchive(empty.c_str(), stamp);
    EXPECT_FALSE(isTrustedArchive(empty.c_str(), stamp));
}

TEST(CacheArchive, NoTrainingUnderAFileSizeLimit) {
    scratchDir dir;
    EXPECT_TRUE(hasRoomToTrain(dir.root.c_str())) << "needs 512 MiB free in /tmp";
    EXPECT_FALSE(hasRoomToTrain(dir.path("missing").c_str()));
    processResult limited = runForked(dir, [&] {
        struct rlimit limit = {1 << 20, 1 << 20};
        setrlimit(RLIMIT_FSIZE, &limit);
        return hasRoomToTrain(dir.root.c_str());
    });
    EXPECT_EQ(0, limited.status);
}
