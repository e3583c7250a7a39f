#include "cache/shippedArchive.h"

#include "cache/cacheRecord.h"
#include "unix/exePath.h"
#include "unix/files.h"
#include "util/owned.h"
#include "util/strings.h"

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

// The directories above the archive that must be closed to others: its own,
// lib and the image's.
static const int checkedDirectories = 3;

char* createImageRoot(const char* runtimeHome) {
    ownedString executable(HACKexePath != nullptr ? getExecutablePath() : nullptr);
    ownedString bin(executable != nullptr ? createParentPath(executable.get()) : nullptr);
    ownedString root(bin != nullptr ? createParentPath(bin.get()) : nullptr);
    if (root == nullptr) {
        return nullptr;
    }
    ownedString expected(createString(root.get(), "/runtime"));
    ownedString home(createCanonicalPath(runtimeHome));
    if (home == nullptr || strcmp(home.get(), expected.get()) != 0) {
        return nullptr;
    }
    return root.release();
}

char* createShippedDirectory(const char* imageRoot) {
    return createString(imageRoot, "/lib/startupcache");
}

int isMovableArchive(int featureVersion) {
    return featureVersion >= 25;
}

static int isOwnedSafely(const struct stat& status) {
    return (status.st_uid == 0 || status.st_uid == geteuid()) &&
           (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

static int areDirectoriesClosed(const char* archive) {
    ownedString path(createStringCopy(archive));
    int closed = 1;
    for (int i = 0; i < checkedDirectories && closed; i++) {
        ownedString parent(createParentPath(path.get()));
        struct stat status;
        closed = parent != nullptr && stat(parent.get(), &status) == 0 && S_ISDIR(status.st_mode) &&
                 isOwnedSafely(status);
        path = std::move(parent);
    }
    return closed;
}

static int isUnchangedSince(const struct stat& status, const cacheRecord& seen) {
    return (unsigned long long)status.st_ino == seen.inode &&
           (long long)status.st_ctim.tv_sec == seen.changeSeconds &&
           (long long)status.st_ctim.tv_nsec == seen.changeNanoseconds &&
           (unsigned long long)status.st_size == seen.size;
}

// The user's record of the archive as it is now, with the checksum found.
static void noteArchive(const char* archive, const char* seenPath, unsigned long long checksum) {
    cacheRecord seen;
    seen.takeFileState(archive);
    seen.checksum = checksum;
    seen.set(seen.runtimeHome, archive);
    seen.write(seenPath);
}

static shippedState judge(unsigned long long found, const cacheRecord& shipped) {
    if (found == shipped.checksum) {
        return shippedSound;
    }
    return found == 0 ? shippedRefused : shippedDamaged;
}

shippedState checkShippedArchive(const char* archive, const char* seenPath) {
    struct stat status;
    if (lstat(archive, &status) != 0) {
        return shippedMissing;
    }
    ownedString recordPath(createString(archive, ".info"));
    cacheRecord shipped;
    int safe = S_ISREG(status.st_mode) && isOwnedSafely(status) && areDirectoriesClosed(archive) &&
               shipped.read(recordPath.get(), 1);
    if (!safe) {
        return shippedUnsafe;
    }
    cacheRecord seen;
    if (seen.read(seenPath) && isUnchangedSince(status, seen)) {
        // Its last use, for eviction.
        utimensat(AT_FDCWD, seenPath, nullptr, AT_SYMLINK_NOFOLLOW);
        return judge(seen.checksum, shipped);
    }
    int ok;
    unsigned long long found = computeFileChecksum(archive, &ok);
    if (!ok || (unsigned long long)status.st_size != shipped.size) {
        found = ~shipped.checksum;
    }
    noteArchive(archive, seenPath, found);
    return judge(found, shipped);
}

void refuseShippedArchive(const char* archive, const char* seenPath) {
    noteArchive(archive, seenPath, 0);
}
