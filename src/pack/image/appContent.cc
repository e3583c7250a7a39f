#include "pack/image/appContent.h"

#include "pack/image/directoryTree.h"
#include "unix/files.h"
#include "util/owned.h"
#include "util/strings.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

[[noreturn]] static void fail(const std::string& message) {
    throw createStringCopy(message.c_str());
}

static bool hasControlCharacter(const std::string& text) {
    for (char c : text) {
        if ((unsigned char)c < 0x20 || c == 0x7F) {
            return true;
        }
    }
    return false;
}

// The parts of a path between its slashes.
static std::vector<std::string> pathParts(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t slash = path.find('/');; slash = path.find('/', start)) {
        parts.push_back(path.substr(start, slash - start));
        if (slash == std::string::npos) {
            return parts;
        }
        start = slash + 1;
    }
}

std::string parseAppContent(const std::string& text, appContent* content) {
    size_t equals = text.find('=');
    content->source = text.substr(0, equals);
    content->destination.reset();
    if (content->source.empty()) {
        return "--app-content '" + text + "' names no source";
    }
    if (equals == std::string::npos) {
        return "";
    }
    std::string destination = text.substr(equals + 1);
    const char* problem = nullptr;
    if (destination.empty() || destination[0] == '/') {
        problem = "a path under the image's root, such as share/NAME/data";
    } else if (hasControlCharacter(destination)) {
        problem = "no control characters";
    } else {
        std::vector<std::string> parts = pathParts(destination);
        for (const std::string& part : parts) {
            if (part.empty() || part == "." || part == "..") {
                problem = "no empty, '.' or '..' parts";
            }
        }
        if (problem == nullptr &&
            (parts[0] == "bin" || parts[0] == "lib" || parts[0] == "runtime")) {
            problem = "a place outside the image's own bin, lib and runtime";
        }
    }
    if (problem != nullptr) {
        return "--app-content '" + text + "': DEST must be " + problem;
    }
    content->destination = destination;
    return "";
}

// Refuses a link that leads out of the copied tree: an absolute target, or
// one that climbs above the tree's root. within is the link's path from the
// root's own name on.
static void checkLink(const std::string& link, const std::string& within,
                      const std::string& source) {
    char target[4096];
    ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
    if (length < 0) {
        fail("Unable to read the link '" + link + "': " + strerror(errno));
    }
    target[length] = 0;
    std::vector<std::string> at = pathParts(within);
    at.pop_back();
    bool outside = target[0] == '/';
    for (const std::string& part : pathParts(target)) {
        if (outside || part.empty() || part == ".") {
            continue;
        }
        if (part == "..") {
            // at[0] is the copied root's own name: climbing past it leaves.
            outside = at.size() <= 1;
            if (!outside) {
                at.pop_back();
            }
        } else {
            at.push_back(part);
        }
    }
    if (outside) {
        fail("--app-content: '" + link + "' is a link to '" + target + "', outside '" + source +
             "'; copy what it leads to instead");
    }
}

// Walks the tree at path (within: its path under the copied root) and
// refuses what the copy may not hold.
static void checkTree(const std::string& path, const std::string& within,
                      const std::string& source) {
    struct stat status;
    if (lstat(path.c_str(), &status) != 0) {
        fail("Unable to copy '" + path + "': " + strerror(errno));
    }
    if (hasControlCharacter(within)) {
        fail("--app-content: '" + path + "' has a name that a package cannot list");
    }
    if (S_ISLNK(status.st_mode)) {
        checkLink(path, within, source);
    } else if (S_ISDIR(status.st_mode)) {
        DIR* directory = opendir(path.c_str());
        if (directory == nullptr) {
            fail("Unable to copy '" + path + "': " + strerror(errno));
        }
        std::vector<std::string> names;
        for (struct dirent* entry = readdir(directory); entry != nullptr;
             entry = readdir(directory)) {
            if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) {
                names.push_back(entry->d_name);
            }
        }
        closedir(directory);
        for (const std::string& name : names) {
            checkTree(path + "/" + name, within + "/" + name, source);
        }
    } else if (!S_ISREG(status.st_mode)) {
        fail("--app-content: '" + path + "' is neither a file, a folder nor a link");
    }
}

void copyAppContents(const std::vector<appContent>& contents, const std::string& image,
                     const std::string& name) {
    for (const appContent& content : contents) {
        // The source itself may be a link, such as a folder linked into place.
        ownedString canonical(createCanonicalPath(content.source.c_str()));
        if (canonical == nullptr) {
            fail("Unable to copy '" + content.source + "': " + strerror(errno));
        }
        std::string source = canonical.get();
        size_t slash = source.rfind('/');
        std::string last = source.substr(slash + 1);
        std::string destination =
            content.destination ? *content.destination : "share/" + name + "/" + last;
        checkTree(source, last, content.source);
        std::string path = image + "/" + destination;
        ownedString parent(createParentPath(path.c_str()));
        makeDirectories(parent.get());
        struct stat status;
        if (lstat(path.c_str(), &status) == 0) {
            fail("--app-content: '" + destination + "' is in the image already");
        }
        copyTree(source.c_str(), path.c_str());
    }
}
