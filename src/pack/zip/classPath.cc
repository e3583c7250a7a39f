#include "pack/zip/classPath.h"

#include "pack/zip/jarManifest.h"
#include "pack/zip/printableName.h"
#include "pack/zip/zipArchive.h"
#include "unix/exePath.h"
#include "unix/files.h"
#include "util/owned.h"
#include "util/stringArray.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cerrno>
#include <cstring>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

// Deeper chains than this are a loop of names that no file check stops.
static const int deepestChain = 64;

static int hexValue(char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
}

// A URL's path with its %XX escapes decoded; null for a URL of another
// scheme than file.
static char* createEntryPath(const char* url, int length) {
    if (length >= 5 && strncmp(url, "file:", 5) == 0) {
        url += 5;
        length -= 5;
    } else if (memchr(url, ':', length) != nullptr && memchr(url, '/', length) != nullptr &&
               (const char*)memchr(url, ':', length) < (const char*)memchr(url, '/', length)) {
        return nullptr;
    }
    stringBuffer path;
    for (int i = 0; i < length; i++) {
        int high = i + 2 < length && url[i] == '%' ? hexValue(url[i + 1]) : -1;
        int low = high >= 0 ? hexValue(url[i + 2]) : -1;
        if (low >= 0) {
            path.append((char)(high * 16 + low));
            i += 2;
        } else {
            path.append(url[i]);
        }
    }
    return path.createString();
}

static void addNote(stringArray* notes, const char* entry, int length, const char* jar,
                    const char* reason) {
    stringBuffer line;
    line.append("Class-Path entry '");
    appendPrintable(line, entry, length);
    line.append("' of '");
    appendPrintable(line, jar, (int)strlen(jar));
    line.append("' ");
    line.append(reason);
    notes->append(line.createString());
}

static int isDirectory(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// The path with "." and empty components gone and each ".." taking the
// component before it away; null when a ".." climbs above the start.
static int normalize(const std::string& path, std::string* normal) {
    std::vector<std::string> parts;
    for (size_t begin = 0; begin <= path.size();) {
        size_t end = path.find('/', begin);
        end = end == std::string::npos ? path.size() : end;
        std::string part = path.substr(begin, end - begin);
        if (part == "..") {
            if (parts.empty()) {
                return 0;
            }
            parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        begin = end + 1;
    }
    normal->clear();
    for (const std::string& part : parts) {
        *normal += "/" + part;
    }
    return 1;
}

// 1 when the entry names a file within the folder of the jar, as written:
// a relative path whose ".." never climbs out of it, or an absolute path
// into it. Links are not followed: the class loader reads the names.
static int staysInFolder(const std::string& jar, const std::string& entry) {
    std::string inside;
    if (entry[0] != '/') {
        return normalize(entry, &inside) && !inside.empty();
    }
    ownedString absoluteJar(createAbsolutePath(nullptr, const_cast<char*>(jar.c_str())));
    ownedString folder(createParentPath(absoluteJar.get()));
    std::string normalFolder;
    std::string normalEntry;
    return normalize(folder.get(), &normalFolder) && normalize(entry, &normalEntry) &&
           normalEntry.size() > normalFolder.size() + 1 &&
           normalEntry.compare(0, normalFolder.size() + 1, normalFolder + "/") == 0;
}

static int isFile(const std::string& path) {
    std::string name = path;
    return testFile(&name[0]);
}

struct classPathWalk {
    stringArray* expanded;
    stringArray* notes;
    std::set<std::string> seen;
    // The jars named on the command line, links resolved: taken in anyway.
    std::set<std::string> named;
};

// 1 when the entry, a path relative to the jar's folder or absolute, names
// a jar of the command line.
static int isNamedJar(const std::string& jar, const std::string& entry, const classPathWalk& walk) {
    std::string path = entry;
    if (path[0] != '/') {
        ownedString parent(createParentPath(jar.c_str()));
        path = std::string(parent.get()) + "/" + path;
    }
    ownedString canonical(createCanonicalPath(path.c_str()));
    return canonical != nullptr && walk.named.count(canonical.get()) > 0;
}

static void addJar(const std::string& path, classPathWalk& walk, int depth);

static void addEntry(const std::string& jar, const char* url, int length, classPathWalk& walk,
                     int depth) {
    ownedString entry(createEntryPath(url, length));
    if (entry == nullptr) {
        addNote(walk.notes, url, length, jar.c_str(), "is not a file: left out");
        return;
    }
    // Relative to the jar's directory as named, links not resolved, as the
    // class loader resolves the jar's URL.
    std::string path = entry.get();
    if (!path.empty() && !staysInFolder(jar, path) && isNamedJar(jar, path, walk)) {
        return;
    }
    if (path.empty() || !staysInFolder(jar, path)) {
        addNote(walk.notes, url, length, jar.c_str(),
                "leads out of that jar's folder: left out; name the jar to take it in");
        return;
    }
    if (path[0] != '/') {
        ownedString parent(createParentPath(jar.c_str()));
        path = std::string(parent.get()) + "/" + path;
    }
    if (isDirectory(path)) {
        addNote(walk.notes, url, length, jar.c_str(),
                "is a directory, which is not bundled: left out");
    } else if (!isFile(path)) {
        addNote(walk.notes, url, length, jar.c_str(),
                "names no file on this machine: left out, as the class path leaves it out");
    } else if (depth >= deepestChain) {
        addNote(walk.notes, url, length, jar.c_str(),
                "lies too deep in a chain of Class-Path entries");
    } else {
        addJar(path, walk, depth + 1);
    }
}

// The Class-Path of the jar's manifest, or an empty string.
static std::string readClassPath(const std::string& path) {
    zipArchive archive(path.c_str());
    long length = 0;
    int entry = -1;
    ownedString text(createManifestText(archive, &length, &entry));
    ownedString classPath(text != nullptr ? createMainAttribute(text.get(), length, "Class-Path")
                                          : nullptr);
    return classPath != nullptr ? classPath.get() : "";
}

// What is packed is read by every user of the package or bundle; a file
// that only its owner may read is not made readable behind its back.
static void refuseOwnerOnly(const std::string& path) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0) {
        throw createMessage((std::string("Unable to read '%s': ") + strerror(errno)).c_str(),
                            path.c_str());
    }
    if ((status.st_mode & (S_IRGRP | S_IROTH)) == 0) {
        throw createMessage("'%s' may be read by its owner only, and what larkwin-pack makes is "
                            "read by everyone: make it readable (chmod a+r) if it may be shipped",
                            path.c_str());
    }
}

static void addJar(const std::string& path, classPathWalk& walk, int depth) {
    ownedString canonical(createCanonicalPath(path.c_str()));
    if (!walk.seen.insert(canonical != nullptr ? canonical.get() : path).second) {
        return;
    }
    std::string classPath = readClassPath(path);
    refuseOwnerOnly(path);
    walk.expanded->append(createStringCopy(path.c_str()));
    for (size_t cursor = 0; cursor < classPath.size();) {
        size_t end = classPath.find(' ', cursor);
        end = end == std::string::npos ? classPath.size() : end;
        if (end > cursor) {
            addEntry(path, classPath.c_str() + cursor, (int)(end - cursor), walk, depth);
        }
        cursor = end + 1;
    }
}

void expandClassPath(const stringArray& jars, stringArray* expanded, stringArray* notes) {
    classPathWalk walk = {expanded, notes, {}, {}};
    for (int i = 0; i < jars.size(); i++) {
        ownedString canonical(createCanonicalPath(jars[i]));
        walk.named.insert(canonical != nullptr ? canonical.get() : jars[i]);
    }
    for (int i = 0; i < jars.size(); i++) {
        addJar(jars[i], walk, 0);
    }
}
