#include "pack/image/directoryTree.h"

#include "pack/base/failure.h"
#include "unix/files.h"
#include "util/owned.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

// Where links that point outside the tree copied are followed: the tree's
// canonical root, and how deep the copy has followed such links.
struct copyScope {
    const char* root;
    int depth;
};

// Links that lead back into what they lie in would be followed forever.
static const int deepestLinkChain = 32;

static char* createChildPath(const char* directory, const char* name) {
    ownedString prefix(createString(directory, "/"));
    return createString(prefix.get(), name);
}

static int isDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

// Calls visit(directory, name, context) for every entry of the directory
// except . and ..; returns 0 when the directory cannot be listed. The
// listing is closed even when visit throws.
static int forEachEntry(const char* directory, void (*visit)(const char*, const char*, void*),
                        void* context) {
    std::unique_ptr<DIR, int (*)(DIR*)> listing(opendir(directory), closedir);
    if (listing == nullptr) {
        return 0;
    }
    for (dirent* entry = readdir(listing.get()); entry != nullptr; entry = readdir(listing.get())) {
        if (!isDotOrDotDot(entry->d_name)) {
            visit(directory, entry->d_name, context);
        }
    }
    return 1;
}

int copyFileBytes(int input, int output) {
    char chunk[65536];
    for (;;) {
        ssize_t got = read(input, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return got == 0;
        }
        for (ssize_t done = 0; done < got;) {
            ssize_t put = write(output, chunk + done, got - done);
            if (put < 0 && errno != EINTR) {
                return 0;
            }
            done += put > 0 ? put : 0;
        }
    }
}

static void copyFile(const char* from, const char* to, const struct stat& status) {
    int input = open(from, O_RDONLY);
    if (input < 0) {
        failWithReason("Unable to copy", from);
    }
    int output = open(to, O_WRONLY | O_CREAT | O_EXCL, 0600);
    struct timespec times[2] = {status.st_atim, status.st_mtim};
    int copied = output >= 0 && copyFileBytes(input, output) &&
                 fchmod(output, status.st_mode & 07777) == 0 && futimens(output, times) == 0;
    close(input);
    copied = (output >= 0 && close(output) == 0) && copied;
    if (!copied) {
        failWithReason("Unable to copy", from);
    }
}

static void copyLink(const char* from, const char* to, const struct stat& status) {
    long length = status.st_size > 0 ? status.st_size : 255;
    ownedString target(new char[length + 1]);
    ssize_t got = readlink(from, target.get(), length + 1);
    int copied = got >= 0 && got <= length;
    if (copied) {
        target[got] = 0;
        copied = symlink(target.get(), to) == 0;
    }
    struct timespec times[2] = {status.st_atim, status.st_mtim};
    if (!copied || utimensat(AT_FDCWD, to, times, AT_SYMLINK_NOFOLLOW) != 0) {
        failWithReason("Unable to copy", from);
    }
}

struct copyTarget {
    const char* to;
    const copyScope* scope;
};

static void copyIn(const char* from, const char* to, const copyScope* scope);

static void copyEntry(const char* directory, const char* name, void* destination) {
    const copyTarget* target = (const copyTarget*)destination;
    ownedString from(createChildPath(directory, name));
    ownedString to(createChildPath(target->to, name));
    copyIn(from.get(), to.get(), target->scope);
}

// 1 when path, with its links resolved, lies outside the root.
static int leadsOutside(const char* path, const char* root) {
    ownedString canonical(createCanonicalPath(path));
    size_t rootLength = strlen(root);
    int outside = canonical == nullptr || strncmp(canonical.get(), root, rootLength) != 0 ||
                  (canonical[rootLength] != '/' && canonical[rootLength] != 0);
    // A link that leads nowhere stays a link.
    int dangling = canonical == nullptr;
    return outside && !dangling;
}

static void copyIn(const char* from, const char* to, const copyScope* scope) {
    // The scope of what a followed link leads to; it lives as long as the copy.
    copyScope deeper = {nullptr, 0};
    errno = 0;
    struct stat status;
    if (lstat(from, &status) != 0) {
        failWithReason("Unable to copy", from);
    }
    if (S_ISLNK(status.st_mode) && scope != nullptr && leadsOutside(from, scope->root)) {
        if (scope->depth >= deepestLinkChain) {
            errno = ELOOP;
            failWithReason("Unable to copy", from);
        }
        // What the link points to, copied in its place.
        if (stat(from, &status) != 0) {
            failWithReason("Unable to copy", from);
        }
        deeper.root = scope->root;
        deeper.depth = scope->depth + 1;
        scope = &deeper;
        if (S_ISREG(status.st_mode)) {
            copyFile(from, to, status);
            return;
        }
    }
    if (S_ISLNK(status.st_mode)) {
        copyLink(from, to, status);
    } else if (S_ISREG(status.st_mode)) {
        copyFile(from, to, status);
    } else if (S_ISDIR(status.st_mode)) {
        // Writable while its entries are made; its own mode comes last.
        copyTarget target = {to, scope};
        if (mkdir(to, 0700) != 0 || !forEachEntry(from, copyEntry, &target)) {
            failWithReason("Unable to copy", from);
        }
        struct timespec times[2] = {status.st_atim, status.st_mtim};
        if (chmod(to, status.st_mode & 07777) != 0 || utimensat(AT_FDCWD, to, times, 0) != 0) {
            failWithReason("Unable to copy", from);
        }
    } else {
        errno = EINVAL;
        failWithReason("Unable to copy", from);
    }
}

void copyTree(const char* from, const char* to) {
    copyIn(from, to, nullptr);
}

void copySelfContainedTree(const char* from, const char* to) {
    ownedString root(createCanonicalPath(from));
    if (root == nullptr) {
        failWithReason("Unable to copy", from);
    }
    copyScope scope = {root.get(), 0};
    copyIn(root.get(), to, &scope);
}

static void removeEntry(const char* directory, const char* name, void*) {
    ownedString path(createChildPath(directory, name));
    removeTree(path.get());
}

void removeTree(const char* path) {
    struct stat status;
    if (lstat(path, &status) != 0) {
        return;
    }
    if (S_ISDIR(status.st_mode)) {
        // A copied directory may be read-only.
        chmod(path, 0700);
        forEachEntry(path, removeEntry, nullptr);
        rmdir(path);
    } else {
        unlink(path);
    }
}

static void addEntrySize(const char* directory, const char* name, void* total) {
    ownedString path(createChildPath(directory, name));
    *(long*)total += getTreeSize(path.get());
}

long getTreeSize(const char* path) {
    struct stat status;
    if (lstat(path, &status) != 0) {
        return 0;
    }
    long total = S_ISDIR(status.st_mode) ? 0 : status.st_size;
    if (S_ISDIR(status.st_mode)) {
        forEachEntry(path, addEntrySize, &total);
    }
    return total;
}
