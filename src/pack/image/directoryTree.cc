#include "pack/image/directoryTree.h"

#include "util/strings.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

[[noreturn]] static void failCopying(const char* path) {
    throw createMessage("Unable to copy '%s'", path);
}

static char* createChildPath(const char* directory, const char* name) {
    char* prefix = createString(directory, "/");
    char* path = createString(prefix, name);
    delete[] prefix;
    return path;
}

static int isDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

// Calls visit(directory, name, context) for every entry of the directory
// except . and ..; returns 0 when the directory cannot be listed. The
// listing is closed even when visit throws.
static int forEachEntry(const char* directory, void (*visit)(const char*, const char*, void*),
                        void* context) {
    DIR* listing = opendir(directory);
    if (listing == nullptr) {
        return 0;
    }
    try {
        for (dirent* entry = readdir(listing); entry != nullptr; entry = readdir(listing)) {
            if (!isDotOrDotDot(entry->d_name)) {
                visit(directory, entry->d_name, context);
            }
        }
    } catch (char*) {
        closedir(listing);
        throw;
    }
    closedir(listing);
    return 1;
}

static int copyBytes(int input, int output) {
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
        failCopying(from);
    }
    int output = open(to, O_WRONLY | O_CREAT | O_EXCL, 0600);
    struct timespec times[2] = {status.st_atim, status.st_mtim};
    int copied = output >= 0 && copyBytes(input, output) &&
                 fchmod(output, status.st_mode & 07777) == 0 && futimens(output, times) == 0;
    close(input);
    copied = (output >= 0 && close(output) == 0) && copied;
    if (!copied) {
        failCopying(from);
    }
}

static void copyLink(const char* from, const char* to, const struct stat& status) {
    long length = status.st_size > 0 ? status.st_size : 255;
    char* target = new char[length + 1];
    ssize_t got = readlink(from, target, length + 1);
    int copied = got >= 0 && got <= length;
    if (copied) {
        target[got] = 0;
        copied = symlink(target, to) == 0;
    }
    delete[] target;
    struct timespec times[2] = {status.st_atim, status.st_mtim};
    if (!copied || utimensat(AT_FDCWD, to, times, AT_SYMLINK_NOFOLLOW) != 0) {
        failCopying(from);
    }
}

static void copyEntry(const char* directory, const char* name, void* destination) {
    char* from = createChildPath(directory, name);
    char* to = createChildPath((const char*)destination, name);
    try {
        copyTree(from, to);
    } catch (char*) {
        delete[] to;
        delete[] from;
        throw;
    }
    delete[] to;
    delete[] from;
}

void copyTree(const char* from, const char* to) {
    struct stat status;
    if (lstat(from, &status) != 0) {
        failCopying(from);
    }
    if (S_ISLNK(status.st_mode)) {
        copyLink(from, to, status);
    } else if (S_ISREG(status.st_mode)) {
        copyFile(from, to, status);
    } else if (S_ISDIR(status.st_mode)) {
        // Writable while its entries are made; its own mode comes last.
        if (mkdir(to, 0700) != 0 || !forEachEntry(from, copyEntry, const_cast<char*>(to))) {
            failCopying(from);
        }
        struct timespec times[2] = {status.st_atim, status.st_mtim};
        if (chmod(to, status.st_mode & 07777) != 0 || utimensat(AT_FDCWD, to, times, 0) != 0) {
            failCopying(from);
        }
    } else {
        failCopying(from);
    }
}

static void removeEntry(const char* directory, const char* name, void*) {
    char* path = createChildPath(directory, name);
    removeTree(path);
    delete[] path;
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
    char* path = createChildPath(directory, name);
    *(long*)total += getTreeSize(path);
    delete[] path;
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
