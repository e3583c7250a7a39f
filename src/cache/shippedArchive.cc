#include "cache/shippedArchive.h"

#include "cache/cacheDirectory.h"
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

char* createOneFileRoot(const char* unpackedRoot, const char* runtimeHome) {
    ownedString home(createCanonicalPath(runtimeHome));
    ownedString parent(home != nullptr ? createParentPath(home.get()) : nullptr);
    if (unpackedRoot == nullptr || parent == nullptr || strcmp(parent.get(), unpackedRoot) != 0) {
        return nullptr;
    }
    return parent.release();
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
static void fillSeenRecord(cacheRecord& seen, const char* archive, unsigned long long checksum) {
    seen.takeFileState(archive);
    seen.checksum = checksum;
    seen.set(seen.runtimeHome, archive);
}

static shippedState judge(unsigned long long found, const cacheRecord& shipped) {
    if (found == shipped.checksum) {
        return shippedSound;
    }
    return found == 0 ? shippedRefused : shippedDamaged;
}

// Whether a record can be written beside seenPath.
static int takesRecord(const char* seenPath) {
    ownedString directory(createParentPath(seenPath));
    ownedString refusal(directory != nullptr ? createWriteRefusal(directory.get(), 4096)
                                             : createStringCopy("no directory"));
    return refusal == nullptr;
}

// A first check, or one after the archive changed: checksummed and noted.
static shippedState checkAnew(const char* archive, const char* seenPath, const struct stat& status,
                              const cacheRecord& shipped) {
    if (!takesRecord(seenPath)) {
        return shippedUnnoted;
    }
    int ok;
    unsigned long long found = computeFileChecksum(archive, &ok);
    if (!ok || (unsigned long long)status.st_size != shipped.size) {
        found = ~shipped.checksum;
    }
    cacheRecord seen;
    fillSeenRecord(seen, archive, found);
    shippedState state = judge(found, shipped);
    return seen.write(seenPath) || state != shippedSound ? state : shippedUnnoted;
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
    if (!seen.read(seenPath) || !isUnchangedSince(status, seen)) {
        return checkAnew(archive, seenPath, status, shipped);
    }
    shippedState state = judge(seen.checksum, shipped);
    // Its last use, for eviction; a record that cannot be touched cannot
    // take a crash either.
    int touched = utimensat(AT_FDCWD, seenPath, nullptr, AT_SYMLINK_NOFOLLOW) == 0;
    return touched || state != shippedSound ? state : shippedUnnoted;
}

int refuseShippedArchive(const char* archive, const char* seenPath) {
    cacheRecord seen;
    fillSeenRecord(seen, archive, 0);
    return seen.write(seenPath) || seen.writeInPlace(seenPath);
}
