#include "unpack/unpackedCopy.h"

#include "unix/files.h"
#include "unpack/copyRules.h"
#include "unpack/copySweep.h"
#include "unpack/privateCopies.h"
#include "unpack/storedEntries.h"
#include "util/owned.h"
#include "util/strings.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The copy is held shared for the run: the descriptor stays open, and
// closes only with the launcher (not inherited by java).
int holdCopy(const char* copy) {
    ownedString lock(createLockPath(copy));
    int fd = open(lock.get(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    return fd >= 0 && flock(fd, LOCK_SH) == 0 ? 1 : 0;
}

// The mark's time is the copy's last use; written at most once a day.
void refreshUse(const char* copy, time_t now) {
    ownedString mark(createMessage("%s/%s", copy, copyMarkName));
    struct stat status;
    if (stat(mark.get(), &status) == 0 && needsUseRefresh(status.st_mtime, now)) {
        utimensat(AT_FDCWD, mark.get(), nullptr, 0);
    }
}

// The copy in place, checked and held; null when there is none, with why
// it was refused in refusal when it was.
char* createReusedCopy(const char* root, const char* copy, ownedString& refusal) {
    if (!hasCompletionMark(copy)) {
        return nullptr;
    }
    ownedString top(createCacheTop(root));
    refusal.reset(createCopyRefusal(copy, top.get()));
    if (refusal != nullptr || !holdCopy(copy) || !hasCompletionMark(copy)) {
        return nullptr;
    }
    reportUnpack("reusing '%s'", copy);
    time_t now = time(nullptr);
    refreshUse(copy, now);
    if (sweepCopiesDaily(root, now)) {
        sweepPrivateCopies(privateCopyBase());
    }
    return createStringCopy(copy);
}

char* createMarkFailure(const char* folder, const char* digest) {
    ownedString mark(createMessage("%s/%s", folder, copyMarkName));
    int fd = open(mark.get(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    int written = fd >= 0 && write(fd, digest, 64) == 64 && fsync(fd) == 0;
    if (fd >= 0 && close(fd) != 0) {
        written = 0;
    }
    return written ? nullptr
                   : createMessage("Unable to write '%s': %s", mark.get(), strerror(errno));
}

void syncFolder(const char* path) {
    int fd = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

// Unpacks into a locked temporary folder beside copy and renames it into
// place; null and the copy's name on success, else why not.
char* createCacheFailure(const char* executable, const char* root, const char* copy,
                         const char* digest, long offset, long length) {
    ownedString temporary(createMessage("%s/.%s.XXXXXX", root, digest));
    if (mkdtemp(temporary.get()) == nullptr) {
        return createMessage("Unable to create '%s': %s", temporary.get(), strerror(errno));
    }
    int lock = open(temporary.get(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    flock(lock, LOCK_EX);
    reportUnpack("unpacking into '%s'", temporary.get());
    char* failure = createUnpackFailure(executable, offset, length, temporary.get());
    if (failure == nullptr) {
        failure = createMarkFailure(temporary.get(), digest);
    }
    if (failure == nullptr && chmod(temporary.get(), 0755) == 0) {
        syncFolder(temporary.get());
        reportUnpack("marked '%s' complete", temporary.get());
        if (rename(temporary.get(), copy) == 0) {
            syncFolder(root);
            reportUnpack("unpacked '%s'", copy);
        } else if (errno == EEXIST || errno == ENOTEMPTY) {
            reportUnpack("another start unpacked '%s' first", copy);
        } else {
            failure = createMessage("Unable to rename '%s': %s", temporary.get(), strerror(errno));
        }
    }
    struct stat status;
    if (lstat(temporary.get(), &status) == 0) {
        removeCopyTree(temporary.get());
    }
    close(lock);
    return failure;
}

// The user's cache folders, made private where they are new.
char* createRootFailure(const char* root) {
    ownedString partial(createStringCopy(root));
    for (char* slash = strchr(partial.get() + 1, '/');; slash = strchr(slash + 1, '/')) {
        if (slash != nullptr) {
            *slash = 0;
        }
        if (mkdir(partial.get(), 0700) != 0 && errno != EEXIST) {
            return createMessage("Unable to create '%s': %s", partial.get(), strerror(errno));
        }
        if (slash == nullptr) {
            break;
        }
        *slash = '/';
    }
    ownedString top(createCacheTop(root));
    return createCopyRefusal(root, top.get());
}

// The copy in the user's cache, or null with why not in why.
char* createCachedCopy(const char* executable, const char* digest, long offset, long length,
                       ownedString& why) {
    ownedString root(createCopyRoot());
    if (root == nullptr) {
        why.reset(createStringCopy("neither XDG_CACHE_HOME nor HOME names an absolute path"));
        return nullptr;
    }
    ownedString copy(createMessage("%s/%s", root.get(), digest));
    char* reused = createReusedCopy(root.get(), copy.get(), why);
    if (reused != nullptr || why != nullptr) {
        if (why != nullptr) {
            reportUnpack("refusing '%s'", copy.get());
        }
        return reused;
    }
    why.reset(createRootFailure(root.get()));
    if (why != nullptr) {
        return nullptr;
    }
    sweepCopies(root.get(), time(nullptr));
    sweepPrivateCopies(privateCopyBase());
    why.reset(createCacheFailure(executable, root.get(), copy.get(), digest, offset, length));
    if (why != nullptr) {
        return nullptr;
    }
    char* copied = createReusedCopy(root.get(), copy.get(), why);
    if (copied == nullptr && why == nullptr) {
        why.reset(createMessage("'%s' cannot be locked", copy.get()));
    }
    return copied;
}

} // namespace

char* createUnpackedCopy(const char* executable, const char* digest, long offset, long length) {
    ownedString why;
    char* copy = createCachedCopy(executable, digest, offset, length, why);
    if (copy != nullptr) {
        return copy;
    }
    fprintf(stderr, "larkwin: not using the cache: %s; running from a private copy\n", why.get());
    return createPrivateCopy(executable, offset, length, why.get());
}

void removeTemporaryCopies() {
    removePrivateCopies();
}
