#include "cache/cacheDirectory.h"

#include "unix/files.h"
#include "util/owned.h"
#include "util/strings.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

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
    ownedString partial(createStringCopy(path));
    int failure = 0;
    for (char* slash = strchr(partial.get() + 1, '/'); failure == 0;
         slash = strchr(slash + 1, '/')) {
        if (slash != nullptr) {
            *slash = 0;
        }
        if (mkdir(partial.get(), 0700) != 0 && errno != EEXIST) {
            failure = errno;
        }
        if (slash == nullptr) {
            break;
        }
        *slash = '/';
    }
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

static int othersMayReplaceEntries(const char* directory) {
    struct stat status;
    return stat(directory, &status) == 0 && (status.st_mode & S_IWOTH) != 0 &&
           (status.st_mode & S_ISVTX) == 0;
}

int isReplaceableByOthers(const char* path) {
    ownedString named(createParentPath(path));
    if (othersMayReplaceEntries(named.get())) {
        return 1;
    }
    ownedString canonical(createCanonicalPath(path));
    if (canonical == nullptr) {
        return 0;
    }
    ownedString parent(createParentPath(canonical.get()));
    return othersMayReplaceEntries(parent.get());
}

static char* createProbeRefusal(const char* directory) {
    ownedString probe(createString(directory, "/.probe-XXXXXX"));
    int fd = mkstemp(probe.get());
    if (fd < 0) {
        return createMessage("the cache directory '%s' does not take a new file", directory);
    }
    close(fd);
    unlink(probe.get());
    return nullptr;
}

char* createWriteRefusal(const char* directory, unsigned long long expectedSize) {
    struct statvfs volume;
    if (statvfs(directory, &volume) != 0 || (volume.f_flag & ST_RDONLY) != 0) {
        return createMessage("the cache directory '%s' lies on a read-only file system", directory);
    }
    if ((unsigned long long)volume.f_bavail * volume.f_frsize / 2 < expectedSize) {
        return createMessage("too little free room in '%s' for the archive", directory);
    }
    struct rlimit limit;
    if (getrlimit(RLIMIT_FSIZE, &limit) != 0 ||
        (limit.rlim_cur != RLIM_INFINITY && (unsigned long long)limit.rlim_cur < expectedSize)) {
        return createMessage("a file size limit keeps the archive from '%s'", directory);
    }
    return createProbeRefusal(directory);
}
