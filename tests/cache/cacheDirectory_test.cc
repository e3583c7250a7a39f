#include "cache/cacheDirectory.h"
#include "cache/cacheRefusal.h"
#include "processSupport.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

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
    ownedString refusal(createDirectoryRefusal(dir.path("file/larkwin").c_str()));
    EXPECT_STREQ(("the cache directory '" + dir.path("file/larkwin") +
                  "' cannot be created: Not a directory")
                     .c_str(),
                 refusal.get());
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

TEST(CacheDirectory, OneWhoseParentOthersMayWriteCanBeReplaced) {
    scratchDir dir;
    std::string open = dir.mkdir("open");
    std::string cache = dir.mkdir("open/cache");
    chmod(open.c_str(), 0777);
    EXPECT_TRUE(isReplaceableByOthers(cache.c_str()));
    chmod(open.c_str(), 01777);
    EXPECT_FALSE(isReplaceableByOthers(cache.c_str())) << "sticky, as /tmp";
    chmod(open.c_str(), 0755);
    EXPECT_FALSE(isReplaceableByOthers(cache.c_str()));
    std::string link = dir.path("link");
    std::string hidden = dir.mkdir("hidden");
    dir.mkdir("hidden/cache");
    chmod(hidden.c_str(), 0777);
    ASSERT_EQ(0, symlink((hidden + "/cache").c_str(), link.c_str()));
    EXPECT_TRUE(isReplaceableByOthers(link.c_str())) << "where the link leads counts too";
}

TEST(CacheDirectory, WritingIsRefusedWhereItCouldFail) {
    scratchDir dir;
    char* refusal = createWriteRefusal(dir.root.c_str(), 1 << 20);
    EXPECT_EQ(nullptr, refusal) << refusal;
    delete[] refusal;
    refusal = createWriteRefusal(dir.root.c_str(), ~0ull / 4);
    ASSERT_NE(nullptr, refusal);
    EXPECT_NE(nullptr, strstr(refusal, "too little free room")) << refusal;
    delete[] refusal;
    refusal = createWriteRefusal(dir.path("missing").c_str(), 1);
    EXPECT_NE(nullptr, refusal);
    delete[] refusal;
    processResult limited = runForked(dir, [&] {
        struct rlimit limit = {1 << 20, 1 << 20};
        setrlimit(RLIMIT_FSIZE, &limit);
        char* small = createWriteRefusal(dir.root.c_str(), 1 << 19);
        char* large = createWriteRefusal(dir.root.c_str(), 2 << 20);
        int result = (small == nullptr) + 2 * (large != nullptr && strstr(large, "file size"));
        delete[] small;
        delete[] large;
        return result;
    });
    EXPECT_EQ(3, limited.status);
}

TEST(CacheDirectory, WritingIsRefusedWhereNoNewFileCanBeMade) {
    scratchDir dir;
    std::string closed = dir.mkdir("closed");
    chmod(closed.c_str(), 0500);
    processResult probed = runForked(dir, [&] {
        if (geteuid() == 0 && setuid(65534) != 0) {
            return 2;
        }
        char* refusal = createWriteRefusal(closed.c_str(), 1);
        int refused = refusal != nullptr;
        delete[] refusal;
        return refused;
    });
    EXPECT_EQ(1, probed.status) << "as nobody when run as root";
}

TEST(CacheDirectory, AReadOnlyFileSystemIsRefused) {
    // /proc/sys is mounted read-only in most containers; /sys in some.
    const char* candidates[] = {"/proc/sys", "/sys", "/sys/fs/cgroup"};
    for (const char* candidate : candidates) {
        struct statvfs volume;
        if (statvfs(candidate, &volume) == 0 && (volume.f_flag & ST_RDONLY) != 0) {
            char* refusal = createWriteRefusal(candidate, 1);
            ASSERT_NE(nullptr, refusal);
            EXPECT_NE(nullptr, strstr(refusal, "read-only")) << refusal;
            delete[] refusal;
            return;
        }
    }
    GTEST_SKIP() << "no read-only file system at hand";
}
