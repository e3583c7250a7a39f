#include "pack/repository/repositoryFiles.h"

#include "pack/base/failure.h"
#include "pack/base/ownedText.h"
#include "pack/base/reasonedFiles.h"
#include "pack/image/directoryTree.h"
#include "unix/exePath.h"
#include "unix/files.h"
#include "unix/removalOnSignal.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

std::string findProgram(const char* name, const char* package) {
    std::string path = takeString(createExePath(const_cast<char*>(name)));
    if (path.empty()) {
        fail(std::string("cannot find ") + name + " (Debian's " + package + ")");
    }
    return path;
}

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    if (!file) {
        failWithReason("Unable to read", path);
    }
    return content.str();
}

void replaceFile(const std::string& path, const std::string& content, int mode) {
    packOutputFile file(path.c_str());
    file.write(content.data(), (long)content.size());
    file.commit(mode);
}

void copyFile(const std::string& from, const std::string& to) {
    long size = packGetFileSize(const_cast<char*>(from.c_str()));
    if (size < 0) {
        failWithReason("Unable to read", from);
    }
    packOutputFile file(to.c_str());
    file.appendFileRange(from.c_str(), 0, size);
    file.commit(0644);
}

void renameFile(const std::string& from, const std::string& to) {
    if (rename(from.c_str(), to.c_str()) != 0) {
        failWithReason(("Unable to rename '" + from + "' to").c_str(), to);
    }
}

bool sameContent(const std::string& a, const std::string& b) {
    std::ifstream first(a, std::ios::binary);
    std::ifstream second(b, std::ios::binary);
    char one[65536];
    char two[65536];
    for (;;) {
        first.read(one, sizeof one);
        second.read(two, sizeof two);
        if (first.gcount() != second.gcount() || memcmp(one, two, (size_t)first.gcount()) != 0) {
            return false;
        }
        if (first.gcount() == 0) {
            return first.eof() && second.eof();
        }
    }
}

bool fileExists(const std::string& path) {
    struct stat status;
    return lstat(path.c_str(), &status) == 0;
}

std::vector<std::string> listDirectory(const std::string& path) {
    std::vector<std::string> names;
    DIR* listing = opendir(path.c_str());
    if (listing == nullptr) {
        if (errno != ENOENT) {
            failWithReason("Unable to read", path);
        }
        return names;
    }
    for (dirent* entry = readdir(listing); entry != nullptr; entry = readdir(listing)) {
        if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) {
            names.push_back(entry->d_name);
        }
    }
    closedir(listing);
    std::sort(names.begin(), names.end());
    return names;
}

void makeDirectory(const std::string& path) {
    packMakeDirectories(path.c_str());
}

repositoryLock::repositoryLock(const std::string& directory) : descriptor(-1) {
    makeDirectory(directory);
    descriptor = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) {
        failWithReason("Unable to open", directory);
    }
    struct stat status = {};
    if (fstat(descriptor, &status) != 0 || (status.st_mode & 022) != 0 ||
        (status.st_uid != geteuid() && status.st_uid != 0)) {
        close(descriptor);
        char mode[8];
        snprintf(mode, sizeof mode, "%04o", (unsigned)(status.st_mode & 07777));
        fail("the repository '" + directory + "' may be written by others (mode " + mode +
             ", owner " + std::to_string(status.st_uid) +
             "): they could change what is signed; make it yours and chmod go-w it");
    }
    if (flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        int reason = errno;
        close(descriptor);
        errno = reason;
        failWithReason("Another larkwin-pack is writing", directory);
    }
    scratchDirectory = directory + "/.larkwin-pack-XXXXXX";
    if (!makeRegisteredDirectory(&scratchDirectory[0])) {
        int reason = errno;
        close(descriptor);
        errno = reason;
        failWithReason("Unable to create", scratchDirectory);
    }
}

repositoryLock::~repositoryLock() {
    removeTree(scratchDirectory.c_str());
    unregisterRemoval(scratchDirectory.c_str());
    close(descriptor);
}

heldSignals::heldSignals() {
    sigset_t held;
    sigemptyset(&held);
    for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) {
        sigaddset(&held, signal);
    }
    sigprocmask(SIG_BLOCK, &held, &before);
}

heldSignals::~heldSignals() {
    sigprocmask(SIG_SETMASK, &before, nullptr);
}

bool isPlainText(const std::string& value, const char* marks) {
    for (char c : value) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              (c != 0 && strchr(marks, c) != nullptr))) {
            return false;
        }
    }
    return !value.empty();
}
