#include "unpack/copySweep.h"

#include "unix/exePath.h"
#include "unpack/copyRules.h"
#include "util/owned.h"
#include "util/strings.h"

#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

void reportUnpack(const char* format, const char* argument) {
    if (debug) {
        printf("unpack: ");
        printf(format, argument);
        printf("\n");
        fflush(stdout);
    }
}

static int removeEntry(const char* path, const struct stat*, int kind, struct FTW*) {
    if (kind == FTW_DP) {
        chmod(path, 0700);
        return rmdir(path) != 0;
    }
    return unlink(path) != 0;
}

static int openWritable(const char* path, const struct stat*, int kind, struct FTW*) {
    // A folder made without write permission could not be emptied.
    if (kind == FTW_D) {
        chmod(path, 0700);
    }
    return 0;
}

int removeCopyTree(const char* path) {
    nftw(path, openWritable, 16, FTW_PHYS);
    nftw(path, removeEntry, 16, FTW_DEPTH | FTW_PHYS);
    struct stat status;
    return lstat(path, &status) != 0;
}

char* createLockPath(const char* copy) {
    return createString(copy, ".lock");
}

// A descriptor whose lock was taken without waiting, or -1.
static int lockWithoutWaiting(const char* path, int flags) {
    int fd = open(path, flags | O_CLOEXEC);
    if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// An unpack holds its temporary folder locked while it writes.
static void removeLeftover(const char* path) {
    int fd = lockWithoutWaiting(path, O_RDONLY | O_DIRECTORY);
    if (fd < 0) {
        reportUnpack("keeping '%s': an unpack is writing it", path);
        return;
    }
    reportUnpack("removing '%s', left by an interrupted unpack", path);
    removeCopyTree(path);
    close(fd);
}

static void removeIfUnused(const char* copy, time_t now) {
    ownedString mark(createMessage("%s/%s", copy, copyMarkName));
    struct stat status;
    if (stat(mark.get(), &status) != 0 || !isUnusedCopy(status.st_mtime, now)) {
        return;
    }
    ownedString lock(createLockPath(copy));
    int fd = lockWithoutWaiting(lock.get(), O_RDWR | O_CREAT);
    if (fd < 0) {
        reportUnpack("keeping '%s', unused for 30 days: a start is using it", copy);
        return;
    }
    // Renamed first, so that no start takes a copy that is half removed.
    // "PARENT/.DIGEST.removing": hidden, as an unpack's own folder is.
    const char* slash = strrchr(copy, '/');
    if (slash == nullptr) {
        close(fd);
        return;
    }
    ownedString doomed(createMessage("%.*s/.%s.removing", (int)(slash - copy), copy, slash + 1));
    if (rename(copy, doomed.get()) == 0) {
        reportUnpack("removing '%s', unused for 30 days", copy);
        removeCopyTree(doomed.get());
        unlink(lock.get());
    }
    close(fd);
}

// ".DIGEST." and more: an unpack's folder, or a removal's.
static int isLeftoverName(const char* name) {
    if (name[0] != '.' || strlen(name) < 67 || name[65] != '.') {
        return 0;
    }
    ownedString digest(createStringCopy(name + 1));
    digest[64] = 0;
    return isCopyDigest(digest.get());
}

void sweepCopies(const char* root, time_t now) {
    DIR* folder = opendir(root);
    if (folder == nullptr) {
        return;
    }
    for (struct dirent* entry = readdir(folder); entry != nullptr; entry = readdir(folder)) {
        const char* name = entry->d_name;
        ownedString path(createMessage("%s/%s", root, name));
        if (isLeftoverName(name)) {
            removeLeftover(path.get());
        } else if (isCopyDigest(name)) {
            removeIfUnused(path.get(), now);
        }
    }
    closedir(folder);
}

int sweepCopiesDaily(const char* root, time_t now) {
    ownedString stamp(createString(root, "/.swept"));
    struct stat status;
    if (stat(stamp.get(), &status) == 0 && !needsUseRefresh(status.st_mtime, now)) {
        return 0;
    }
    int fd = open(stamp.get(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd >= 0) {
        futimens(fd, nullptr);
        close(fd);
    }
    sweepCopies(root, now);
    return 1;
}
