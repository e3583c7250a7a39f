#include "cache/cacheDirectory.h"

#include "util/strings.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

// More than the largest archive of a big application (some tens of MB), with
// a margin for what others write meanwhile.
static const unsigned long long roomToTrain = 512ull * 1024 * 1024;
// Stamps lie in 2001-2002, on even seconds: no file written today bears one,
// and file systems with a two-second resolution keep it.
static const long long stampBase = 1000000000;
static const unsigned long long stampRange = 1ull << 24;

static int isAbsolute(const char* path) {
    return path != nullptr && path[0] == '/';
}

char* createDefaultCacheDirectory(const char* xdgCacheHome, const char* home) {
    if (isAbsolute(xdgCacheHome)) {
        return createString(xdgCacheHome, "/larkwin");
    }
    if (isAbsolute(home)) {
        return createString(home, "/.cache/larkwin");
    }
    return nullptr;
}

static int isDirectory(const char* path) {
    struct stat status;
    return stat(path, &status) == 0 && S_ISDIR(status.st_mode);
}

int makeCacheDirectory(const char* path) {
    if (isDirectory(path)) {
        return 0;
    }
    char* partial = createStringCopy(path);
    int failure = 0;
    for (char* slash = strchr(partial + 1, '/'); failure == 0; slash = strchr(slash + 1, '/')) {
        if (slash != nullptr) {
            *slash = 0;
        }
        if (mkdir(partial, 0700) != 0 && errno != EEXIST) {
            failure = errno;
        }
        if (slash == nullptr) {
            break;
        }
        *slash = '/';
    }
    delete[] partial;
    if (failure == 0 && !isDirectory(path)) {
        failure = ENOTDIR;
    }
    return failure;
}

static int isOwnAndClosed(const struct stat& status) {
    return status.st_uid == geteuid() && (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

int isTrustedDirectory(const char* path) {
    struct stat status;
    return stat(path, &status) == 0 && S_ISDIR(status.st_mode) && isOwnAndClosed(status);
}

long long getArchiveStamp(unsigned long long key) {
    return stampBase + 2 * (long long)(key % stampRange);
}

int isTrustedArchive(const char* path, long long stamp) {
    struct stat status;
    return lstat(path, &status) == 0 && S_ISREG(status.st_mode) && isOwnAndClosed(status) &&
           status.st_size > 0 && status.st_mtim.tv_sec == stamp && status.st_mtim.tv_nsec == 0;
}

int stampArchive(const char* path, long long stamp) {
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = (time_t)stamp;
    times[1].tv_nsec = 0;
    return utimensat(AT_FDCWD, path, times, AT_SYMLINK_NOFOLLOW) == 0;
}

int hasRoomToTrain(const char* directory) {
    struct rlimit limit;
    if (getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur != RLIM_INFINITY) {
        return 0;
    }
    struct statvfs volume;
    if (statvfs(directory, &volume) != 0) {
        return 0;
    }
    return (unsigned long long)volume.f_bavail * volume.f_frsize >= roomToTrain;
}
