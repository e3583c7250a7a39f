#include "pack/image/madeDirectories.h"

#include "unix/removalOnSignal.h"
#include "util/strings.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

madeDirectories::~madeDirectories() {
    for (auto directory = made.rbegin(); directory != made.rend(); ++directory) {
        unregisterRemoval(directory->c_str());
        rmdir(directory->c_str());
    }
}

void madeDirectories::keep() {
    for (const std::string& directory : made) {
        unregisterRemoval(directory.c_str());
    }
    made.clear();
}

static void failCreating(const std::string& path) {
    std::string message = "Unable to create '" + path + "': " + strerror(errno);
    throw createStringCopy(message.c_str());
}

void madeDirectories::make(const std::string& path, bool itself) {
    size_t end = path.size();
    while (end > 1 && path[end - 1] == '/') {
        end--;
    }
    std::vector<std::string> levels;
    for (size_t slash = path.find('/', 1); slash < end; slash = path.find('/', slash + 1)) {
        levels.push_back(path.substr(0, slash));
    }
    if (itself) {
        levels.push_back(path.substr(0, end));
    }
    for (const std::string& directory : levels) {
        struct stat status;
        if (stat(directory.c_str(), &status) != 0) {
            if (mkdir(directory.c_str(), 0777) != 0) {
                failCreating(directory);
            }
            made.push_back(directory);
            registerEmptyDirectory(made.back().c_str());
        } else if (!S_ISDIR(status.st_mode)) {
            errno = ENOTDIR;
            failCreating(directory);
        }
    }
}
