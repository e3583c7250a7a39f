#include "unpack/copyRules.h"

#include "unix/fileOwners.h"
#include "unix/files.h"
#include "unix/userDirectories.h"
#include "util/owned.h"
#include "util/strings.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

const char* const copyMarkName = ".larkwin-complete";
const long unusedCopySeconds = 30L * 24 * 60 * 60;
const long useRefreshSeconds = 24L * 60 * 60;

int isCopyDigest(const char* text) {
    if (strlen(text) != 64) {
        return 0;
    }
    return strspn(text, "0123456789abcdef") == 64 ? 1 : 0;
}

char* createCopyRoot() {
    ownedString cache(createXdgDirectory("XDG_CACHE_HOME", "/.cache"));
    return cache != nullptr ? createString(cache.get(), "/larkwin/unpacked") : nullptr;
}

char* createCacheTop(const char* root) {
    return createParentPath(root);
}

int isTrustedFolder(unsigned owner, unsigned mode) {
    return S_ISDIR(mode) && isRootOrRunningUser(owner) && (mode & (S_IWGRP | S_IWOTH)) == 0;
}

// Why one folder fails isTrustedFolder; links are not followed, so a link
// planted in place of a copy is refused too.
static char* createFolderRefusal(const char* path) {
    struct stat status;
    if (lstat(path, &status) != 0) {
        return createMessage("'%s': %s", path, strerror(errno));
    }
    if (isTrustedFolder(status.st_uid, status.st_mode)) {
        return nullptr;
    }
    if (!S_ISDIR(status.st_mode)) {
        return createMessage("'%s' is not a folder", path);
    }
    if (!isRootOrRunningUser(status.st_uid)) {
        return createMessage("'%s' belongs to user %u", path, (unsigned)status.st_uid);
    }
    return createMessage("'%s' may be written by its group or others", path);
}

char* createCopyRefusal(const char* copy, const char* top) {
    size_t topLength = strlen(top);
    ownedString folder(createStringCopy(copy));
    for (;;) {
        char* refusal = createFolderRefusal(folder.get());
        if (refusal != nullptr || strlen(folder.get()) <= topLength) {
            return refusal;
        }
        ownedString parent(createParentPath(folder.get()));
        if (parent == nullptr || strcmp(parent.get(), folder.get()) == 0) {
            return nullptr;
        }
        folder.reset(parent.release());
    }
}

int hasCompletionMark(const char* copy) {
    ownedString mark(createMessage("%s/%s", copy, copyMarkName));
    struct stat status;
    return stat(mark.get(), &status) == 0 && S_ISREG(status.st_mode) ? 1 : 0;
}

int isUnusedCopy(time_t lastUsed, time_t now) {
    return now > lastUsed && now - lastUsed > unusedCopySeconds ? 1 : 0;
}

int needsUseRefresh(time_t lastUsed, time_t now) {
    return lastUsed > now || now - lastUsed >= useRefreshSeconds ? 1 : 0;
}
