#include "unpack/privateCopies.h"

#include "unpack/copySweep.h"
#include "unpack/storedEntries.h"
#include "util/owned.h"
#include "util/strings.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

const char* const privateMarkName = ".larkwin-private";

namespace {

// The private folders of this run, each with the descriptor that holds its
// lock (not inherited by java).
const int mostPrivateCopies = 4;
struct heldFolder {
    char* path;
    int lock;
};
heldFolder privateCopies[mostPrivateCopies];

void notePrivateCopy(const char* path, int lock) {
    static int handlerSet = 0;
    if (!handlerSet) {
        atexit(removePrivateCopies);
        handlerSet = 1;
    }
    for (heldFolder& held : privateCopies) {
        if (held.path == nullptr) {
            held.path = createStringCopy(path);
            held.lock = lock;
            return;
        }
    }
    // More parts than the table holds: removed only by a later start's
    // sweep.
    if (lock >= 0) {
        close(lock);
    }
}

int hasPrivateMark(const char* folder) {
    ownedString mark(createMessage("%s/%s", folder, privateMarkName));
    struct stat status;
    return lstat(mark.get(), &status) == 0 && S_ISREG(status.st_mode);
}

// The folder locked, then marked: a sweep that finds the mark finds the
// lock taken. -1, and no mark, where the file system takes no lock or no
// mark: such a folder is left to the launcher's own removal.
int lockAndMark(const char* folder) {
    int lock = open(folder, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (lock < 0 || flock(lock, LOCK_EX | LOCK_NB) != 0) {
        if (lock >= 0) {
            close(lock);
        }
        return -1;
    }
    ownedString mark(createMessage("%s/%s", folder, privateMarkName));
    int fd = open(mark.get(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
        close(fd);
    }
    return lock;
}

// A folder of this user, not a link, with the mark.
int isLeftBehind(const char* path) {
    struct stat status;
    return lstat(path, &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == geteuid() &&
           hasPrivateMark(path);
}

void removeIfUnheld(const char* path) {
    int fd = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        reportUnpack("keeping the private folder '%s': a start is running from it", path);
    } else {
        reportUnpack("removing the private folder '%s', left by a start that did not end cleanly",
                     path);
        removeCopyTree(path);
    }
    close(fd);
}

} // namespace

const char* privateCopyBase() {
    const char* names[] = {"XDG_RUNTIME_DIR", "TMPDIR"};
    for (const char* name : names) {
        const char* value = getenv(name);
        struct stat status;
        if (value != nullptr && value[0] == '/' && stat(value, &status) == 0 &&
            S_ISDIR(status.st_mode)) {
            return value;
        }
    }
    return "/tmp";
}

int isPrivateCopyName(const char* name) {
    const char* prefix = "larkwin-";
    size_t length = strlen(prefix);
    if (strncmp(name, prefix, length) != 0 || strlen(name) != length + 6) {
        return 0;
    }
    const char* letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    return strspn(name + length, letters) == 6 ? 1 : 0;
}

void sweepPrivateCopies(const char* base) {
    DIR* folder = opendir(base);
    if (folder == nullptr) {
        return;
    }
    for (struct dirent* entry = readdir(folder); entry != nullptr; entry = readdir(folder)) {
        if (!isPrivateCopyName(entry->d_name)) {
            continue;
        }
        ownedString path(createMessage("%s/%s", base, entry->d_name));
        if (isLeftBehind(path.get())) {
            removeIfUnheld(path.get());
        }
    }
    closedir(folder);
}

char* createPrivateCopy(const char* executable, long offset, long length, const char* why) {
    const char* base = privateCopyBase();
    sweepPrivateCopies(base);
    ownedString folder(createMessage("%s/larkwin-XXXXXX", base));
    if (mkdtemp(folder.get()) == nullptr) {
        throw createMessage("Unable to unpack the runtime: %s; and '%s': %s", why, folder.get(),
                            strerror(errno));
    }
    int lock = lockAndMark(folder.get());
    reportUnpack("unpacking into the private folder '%s'", folder.get());
    ownedString failure(createUnpackFailure(executable, offset, length, folder.get()));
    if (failure != nullptr) {
        removeCopyTree(folder.get());
        if (lock >= 0) {
            close(lock);
        }
        throw createMessage("Unable to unpack the runtime: %s; and: %s", why, failure.get());
    }
    notePrivateCopy(folder.get(), lock);
    return folder.release();
}

void removePrivateCopies() {
    for (heldFolder& held : privateCopies) {
        if (held.path != nullptr) {
            reportUnpack("removing the private folder '%s'", held.path);
            removeCopyTree(held.path);
            if (held.lock >= 0) {
                close(held.lock);
            }
            delete[] held.path;
            held.path = nullptr;
        }
    }
}
