#include "unix/othersWritable.h"

#include "unix/files.h"
#include "unix/privateGroup.h"
#include "util/owned.h"
#include "util/strings.h"

#include <cstring>
#include <sys/stat.h>

[[noreturn]] static void refuse(const char* path, const char* why) {
    ownedString format(createString("Refusing '%s': ", why));
    throw createMessage(format.get(), path);
}

// o+w, or g+w for a group that holds users other than the owner.
static int othersMayWrite(const struct stat& status) {
    if ((status.st_mode & S_IWOTH) != 0) {
        return 1;
    }
    return (status.st_mode & S_IWGRP) != 0 && !isPrivateGroupOf(status.st_gid, status.st_uid);
}

static int othersMayReplaceEntries(const char* directory) {
    struct stat status;
    return stat(directory, &status) == 0 && S_ISDIR(status.st_mode) && othersMayWrite(status) &&
           (status.st_mode & S_ISVTX) == 0;
}

// stat() of the named parent already follows links among the directories
// above; only a link in the last component leads to another directory, so
// only then is the path resolved (which costs a readlink per component).
static int isLink(const char* path) {
    struct stat status;
    return lstat(path, &status) == 0 && S_ISLNK(status.st_mode);
}

static const char* writableReason = "other users may write to it";
static const char* replaceableReason = "other users may write to its directory";

static const char* whyReplaceable(const char* path) {
    int replaceable = othersMayReplaceEntries(ownedString(createParentPath(path)).get());
    ownedString canonical(!replaceable && isLink(path) ? createCanonicalPath(path) : nullptr);
    if (canonical != nullptr) {
        replaceable = othersMayReplaceEntries(ownedString(createParentPath(canonical.get())).get());
    }
    return replaceable ? replaceableReason : nullptr;
}

// A directory is no configuration file: opening it fails as it always did.
const char* whyOthersMayChangeFile(const char* path) {
    struct stat status;
    if (stat(path, &status) != 0 || S_ISDIR(status.st_mode)) {
        return nullptr;
    }
    int device = S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode);
    if (!device && othersMayWrite(status)) {
        return writableReason;
    }
    return whyReplaceable(path);
}

const char* whyOthersMayChangeDirectory(const char* path) {
    struct stat status;
    if (stat(path, &status) != 0 || !S_ISDIR(status.st_mode)) {
        return nullptr;
    }
    if (othersMayWrite(status)) {
        return writableReason;
    }
    return whyReplaceable(path);
}

void refuseFileOthersMayChange(const char* path) {
    const char* why = whyOthersMayChangeFile(path);
    if (why != nullptr) {
        refuse(path, why);
    }
}

void refuseDirectoryOthersMayChange(const char* path) {
    const char* why = whyOthersMayChangeDirectory(path);
    if (why != nullptr) {
        refuse(path, why);
    }
}
