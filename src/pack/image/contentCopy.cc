#include "pack/image/contentCopy.h"

#include "pack/base/failure.h"
#include "pack/image/directoryTree.h"
#include "pack/zip/utf8Text.h"
#include "util/strings.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

// A descriptor, closed when it goes.
class openedEntry {
  public:
    explicit openedEntry(int descriptor) : fd(descriptor) {}
    ~openedEntry() {
        if (fd >= 0) {
            close(fd);
        }
    }
    openedEntry(const openedEntry&) = delete;
    openedEntry& operator=(const openedEntry&) = delete;
    int fd;
};

static void checkName(const char* name, const std::string& path) {
    bool control = false;
    for (const char* c = name; *c != 0; c++) {
        control = control || (unsigned char)*c < 0x20 || *c == 0x7F;
    }
    if (control || !isUtf8(name, strlen(name))) {
        fail("--app-content: '" + path + "' has a name that a package cannot list" +
             (control ? "" : ": it is not UTF-8"));
    }
}

// What only its owner may read would be widened to everyone's in a package.
static void checkReadable(const struct stat& status, const std::string& path,
                          const contentWalk& walk) {
    if (walk.package && (status.st_mode & (S_IRGRP | S_IROTH)) == 0) {
        fail("--app-content: '" + path +
             "' may be read by its owner only, and a package is read by everyone: make it "
             "readable (chmod a+rX) if it may be shipped");
    }
}

// The entry's mode for the copy; a note names the bits it leaves out.
static mode_t copiedMode(const struct stat& status, const std::string& path, contentWalk& walk) {
    const char* names[] = {"set-user-ID", "set-group-ID", "sticky"};
    const mode_t bits[] = {S_ISUID, S_ISGID, S_ISVTX};
    std::vector<std::string> dropped;
    for (int i = 0; i < 3; i++) {
        if ((status.st_mode & bits[i]) != 0) {
            dropped.push_back(names[i]);
        }
    }
    std::string list;
    for (size_t i = 0; i < dropped.size(); i++) {
        list += (i == 0 ? "" : i + 1 == dropped.size() ? " and " : ", ") + dropped[i];
    }
    if (!dropped.empty()) {
        walk.notes.push_back("--app-content: '" + path + "' is copied without its " + list +
                             (dropped.size() > 1 ? " bits" : " bit") +
                             ": the copy gives no one else's rights");
    }
    return status.st_mode & 0777;
}

static void copyLink(int parent, const char* name, int into, const char* as,
                     const std::string& path) {
    char target[4096];
    ssize_t length = readlinkat(parent, name, target, sizeof target);
    if (length < 0 || length == (ssize_t)sizeof target) {
        errno = length < 0 ? errno : ENAMETOOLONG;
        failWithReason("Unable to copy", path);
    }
    target[length] = 0;
    struct stat status;
    if (into < 0) {
        return;
    }
    if (fstatat(parent, name, &status, AT_SYMLINK_NOFOLLOW) != 0 ||
        symlinkat(target, into, as) != 0) {
        failWithReason("Unable to copy", path);
    }
    struct timespec times[2] = {status.st_atim, status.st_mtim};
    if (utimensat(into, as, times, AT_SYMLINK_NOFOLLOW) != 0) {
        failWithReason("Unable to copy", path);
    }
}

static void copyFile(int parent, const char* name, int into, const char* as,
                     const std::string& path, contentWalk& walk) {
    // O_NONBLOCK: a FIFO put in the file's place does not stop the walk.
    openedEntry input(
        openat(parent, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat status;
    if (input.fd < 0 || fstat(input.fd, &status) != 0) {
        failWithReason("Unable to copy", path);
    }
    if (!S_ISREG(status.st_mode)) {
        fail("--app-content: '" + path + "' is neither a file, a folder nor a link");
    }
    checkReadable(status, path, walk);
    mode_t mode = copiedMode(status, path, walk);
    if (into < 0) {
        return;
    }
    openedEntry output(
        openat(into, as, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    struct timespec times[2] = {status.st_atim, status.st_mtim};
    if (output.fd < 0 || fcntl(input.fd, F_SETFL, 0) != 0 || !copyFileBytes(input.fd, output.fd) ||
        fchmod(output.fd, mode) != 0 || futimens(output.fd, times) != 0) {
        failWithReason("Unable to copy", path);
    }
}

// The names in the opened folder, sorted, without . and ..
static std::vector<std::string> listNames(int folder, const std::string& path) {
    int listed = dup(folder);
    std::unique_ptr<DIR, int (*)(DIR*)> listing(listed >= 0 ? fdopendir(listed) : nullptr,
                                                closedir);
    if (listing == nullptr) {
        if (listed >= 0) {
            close(listed);
        }
        failWithReason("Unable to copy", path);
    }
    std::vector<std::string> names;
    errno = 0;
    for (dirent* entry = readdir(listing.get()); entry != nullptr; entry = readdir(listing.get())) {
        if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) {
            names.push_back(entry->d_name);
        }
    }
    if (errno != 0) {
        failWithReason("Unable to copy", path);
    }
    std::sort(names.begin(), names.end());
    return names;
}

static void walkEntry(int parent, const char* name, int into, const char* as,
                      const std::string& path, contentWalk& walk);

static void copyFolder(int parent, const char* name, int into, const char* as,
                       const std::string& path, contentWalk& walk) {
    openedEntry folder(openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat status;
    if (folder.fd < 0 || fstat(folder.fd, &status) != 0) {
        failWithReason("Unable to copy", path);
    }
    if (status.st_dev == walk.avoidDevice && status.st_ino == walk.avoidInode) {
        fail("--app-content: '" + path + "' is the folder that receives the copy");
    }
    checkReadable(status, path, walk);
    mode_t mode = copiedMode(status, path, walk);
    // Writable while its entries are made; its own mode comes last.
    if (into >= 0 && mkdirat(into, as, 0700) != 0) {
        failWithReason("Unable to copy", path);
    }
    openedEntry copy(into >= 0 ? openat(into, as, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)
                               : -1);
    if (into >= 0 && copy.fd < 0) {
        failWithReason("Unable to copy", path);
    }
    for (const std::string& child : listNames(folder.fd, path)) {
        walkEntry(folder.fd, child.c_str(), copy.fd, child.c_str(), path + "/" + child, walk);
    }
    struct timespec times[2] = {status.st_atim, status.st_mtim};
    if (into >= 0 && (fchmod(copy.fd, mode) != 0 || futimens(copy.fd, times) != 0)) {
        failWithReason("Unable to copy", path);
    }
}

static void walkEntry(int parent, const char* name, int into, const char* as,
                      const std::string& path, contentWalk& walk) {
    checkName(name, path);
    struct stat status;
    errno = 0;
    if (fstatat(parent, name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
        failWithReason("Unable to copy", path);
    }
    if (S_ISLNK(status.st_mode)) {
        copyLink(parent, name, into, as, path);
    } else if (S_ISDIR(status.st_mode)) {
        copyFolder(parent, name, into, as, path, walk);
    } else if (S_ISREG(status.st_mode)) {
        copyFile(parent, name, into, as, path, walk);
    } else {
        fail("--app-content: '" + path + "' is neither a file, a folder nor a link");
    }
}

// The opened folder above path, and path's last part.
static int openParent(const std::string& path, std::string* last) {
    size_t slash = path.rfind('/');
    *last = path.substr(slash + 1);
    std::string parent = slash == 0 ? "/" : path.substr(0, slash);
    return open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

void walkContent(const std::string& source, const std::string* destination, contentWalk& walk) {
    std::string name;
    openedEntry parent(openParent(source, &name));
    if (parent.fd < 0 || name.empty()) {
        errno = name.empty() ? EISDIR : errno;
        failWithReason("Unable to copy", source);
    }
    std::string copyName;
    openedEntry into(destination != nullptr ? openParent(*destination, &copyName) : -1);
    if (destination != nullptr && into.fd < 0) {
        failWithReason("Unable to copy", *destination);
    }
    walkEntry(parent.fd, name.c_str(), into.fd, copyName.c_str(), source, walk);
}
