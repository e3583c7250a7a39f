#include "pack/image/appContent.h"

#include "pack/base/failure.h"
#include "pack/base/reasonedFiles.h"
#include "pack/image/contentCopy.h"
#include "pack/image/contentLinks.h"
#include "unix/files.h"
#include "util/owned.h"
#include "util/strings.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

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

// The content's source with its links resolved, and the path under the
// image that receives it.
static std::string canonicalSource(const appContent& content) {
    ownedString canonical(createCanonicalPath(content.source.c_str()));
    if (canonical == nullptr) {
        fail("Unable to copy '" + content.source + "': " + strerror(errno));
    }
    return canonical.get();
}

static std::string destinationOf(const appContent& content, const std::string& source,
                                 const std::string& name) {
    std::string last = source.substr(source.rfind('/') + 1);
    return content.destination ? *content.destination : "share/" + name + "/" + last;
}

// As cp, a copy into the tree it copies is refused: it would copy itself.
// The place need not exist yet; its nearest existing folder is resolved.
static void refuseInside(const std::string& place, const std::string& source,
                         const appContent& content) {
    std::string existing = place;
    ownedString canonical(createCanonicalPath(existing.c_str()));
    while (canonical == nullptr && existing.find('/') != std::string::npos) {
        existing = existing.substr(0, existing.rfind('/'));
        canonical.reset(createCanonicalPath(existing.empty() ? "/" : existing.c_str()));
    }
    std::string resolved = canonical != nullptr ? canonical.get() : "";
    if (resolved == source || resolved.compare(0, source.size() + 1, source + "/") == 0 ||
        source == "/") {
        fail("--app-content: '" + content.source + "' holds '" + place +
             "', where the copy goes: name a place outside it");
    }
}

void checkAppContents(const std::vector<appContent>& contents,
                      const std::vector<std::string>& places, bool package) {
    for (const appContent& content : contents) {
        std::string source = canonicalSource(content);
        for (const std::string& place : places) {
            refuseInside(place, source, content);
        }
        contentWalk walk;
        walk.package = package;
        walkContent(source, nullptr, walk);
        checkContentLinks(source, source, content.source);
    }
}

void copyAppContents(const std::vector<appContent>& contents, const std::string& image,
                     const std::string& name, bool package) {
    struct stat imageStatus;
    if (stat(image.c_str(), &imageStatus) != 0) {
        fail("Unable to copy into '" + image + "': " + strerror(errno));
    }
    for (const appContent& content : contents) {
        // The source itself may be a link, such as a folder linked into place.
        std::string source = canonicalSource(content);
        std::string destination = destinationOf(content, source, name);
        std::string path = image + "/" + destination;
        ownedString parent(createParentPath(path.c_str()));
        packMakeDirectories(parent.get());
        struct stat status;
        if (lstat(path.c_str(), &status) == 0) {
            fail("--app-content: '" + destination + "' is in the image already");
        }
        contentWalk walk;
        walk.package = package;
        walk.avoidDevice = imageStatus.st_dev;
        walk.avoidInode = imageStatus.st_ino;
        walkContent(source, &path, walk);
        // The copy is judged, not the source, which its owner may change.
        checkContentLinks(path, source, content.source);
        for (const std::string& note : walk.notes) {
            fprintf(stderr, "larkwin-pack: %s\n", note.c_str());
        }
    }
}
