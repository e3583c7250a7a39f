#include "pack/image/contentLinks.h"

#include "util/strings.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

// The kernel follows no more links than this in one lookup.
static const int mostLinksFollowed = 40;

static std::string joined(const std::string& root, const std::vector<std::string>& parts) {
    std::string path = root;
    for (const std::string& part : parts) {
        path += "/" + part;
    }
    return path;
}

static bool readLink(const std::string& path, std::string* target) {
    char text[4096];
    ssize_t length = readlink(path.c_str(), text, sizeof text);
    if (length < 0 || length == (ssize_t)sizeof text) {
        return false;
    }
    target->assign(text, length);
    return true;
}

// Follows target from the folder at (its parts under root), each link on
// the way resolved; at ends where the target leads. False when it leaves
// the tree, or follows more links than a lookup may.
static bool staysInside(const std::string& root, const std::string& target,
                        std::vector<std::string>& at, int* followed) {
    if (target.empty() || target[0] == '/') {
        return false;
    }
    for (size_t start = 0; start <= target.size();) {
        size_t slash = std::min(target.find('/', start), target.size());
        std::string part = target.substr(start, slash - start);
        start = slash + 1;
        if (part.empty() || part == ".") {
            continue;
        }
        if (part == "..") {
            if (at.empty()) {
                return false;
            }
            at.pop_back();
            continue;
        }
        at.push_back(part);
        struct stat status;
        std::string path = joined(root, at);
        if (lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            continue;
        }
        std::string next;
        at.pop_back();
        if (++*followed > mostLinksFollowed || !readLink(path, &next) ||
            !staysInside(root, next, at, followed)) {
            return false;
        }
    }
    return true;
}

static std::vector<std::string> listNames(const std::string& path) {
    std::vector<std::string> names;
    std::unique_ptr<DIR, int (*)(DIR*)> listing(opendir(path.c_str()), closedir);
    for (dirent* entry = listing != nullptr ? readdir(listing.get()) : nullptr; entry != nullptr;
         entry = readdir(listing.get())) {
        if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) {
            names.push_back(entry->d_name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

static void checkEntry(const std::string& root, std::vector<std::string>& parts,
                       const std::string& shown, const std::string& source) {
    std::string path = joined(root, parts);
    struct stat status;
    if (lstat(path.c_str(), &status) != 0) {
        return;
    }
    if (S_ISDIR(status.st_mode)) {
        for (const std::string& name : listNames(path)) {
            parts.push_back(name);
            checkEntry(root, parts, shown, source);
            parts.pop_back();
        }
        return;
    }
    std::string target;
    if (!S_ISLNK(status.st_mode) || parts.empty() || !readLink(path, &target)) {
        return;
    }
    std::vector<std::string> at(parts.begin(), parts.end() - 1);
    int followed = 0;
    if (!staysInside(root, target, at, &followed)) {
        std::string link = joined(shown, parts);
        throw createStringCopy(("--app-content: '" + link + "' is a link to '" + target +
                                "', outside '" + source + "'; copy what it leads to instead")
                                   .c_str());
    }
}

void checkContentLinks(const std::string& root, const std::string& shown,
                       const std::string& source) {
    std::vector<std::string> parts;
    checkEntry(root, parts, shown, source);
}
