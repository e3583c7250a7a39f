#include "pack/zip/classPath.h"

#include "pack/zip/jarManifest.h"
#include "pack/zip/printableName.h"
#include "pack/zip/zipArchive.h"
#include "unix/exePath.h"
#include "unix/files.h"
#include "util/stringArray.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cstring>
#include <sys/stat.h>

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

static int isDirectory(const char* path) {
    struct stat status;
    return stat(path, &status) == 0 && S_ISDIR(status.st_mode);
}

struct classPathWalk {
    stringArray* expanded;
    stringArray* notes;
    stringArray seen;
};

static void addJar(const char* path, classPathWalk& walk, int depth);

static void addEntry(const char* jar, const char* url, int length, classPathWalk& walk, int depth) {
    char* entry = createEntryPath(url, length);
    if (entry == nullptr) {
        addNote(walk.notes, url, length, jar, "is not a file: left out");
        return;
    }
    // Relative to the jar's directory as named, links not resolved, as the
    // class loader resolves the jar's URL.
    char* path = createStringCopy(entry);
    if (entry[0] != '/') {
        char* parent = createParentPath(jar);
        char* directory = createString(parent, "/");
        delete[] path;
        path = createString(directory, entry);
        delete[] directory;
        delete[] parent;
    }
    delete[] entry;
    if (isDirectory(path)) {
        addNote(walk.notes, url, length, jar, "is a directory, which is not bundled: left out");
    } else if (!testFile(path)) {
        addNote(walk.notes, url, length, jar,
                "names no file on this machine: left out, as the class path leaves it out");
    } else if (depth >= deepestChain) {
        addNote(walk.notes, url, length, jar, "lies too deep in a chain of Class-Path entries");
    } else {
        try {
            addJar(path, walk, depth + 1);
        } catch (char*) {
            delete[] path;
            throw;
        }
    }
    delete[] path;
}

static char* createClassPath(const char* path) {
    zipArchive archive(path);
    long length = 0;
    int entry = -1;
    char* text = createManifestText(archive, &length, &entry);
    char* classPath = text != nullptr ? createMainAttribute(text, length, "Class-Path") : nullptr;
    delete[] text;
    return classPath;
}

static int compareSame(const char* a, const char* b) {
    return strcmp(a, b);
}

static void addJar(const char* path, classPathWalk& walk, int depth) {
    char* canonical = createCanonicalPath(path);
    char* key = canonical != nullptr ? canonical : createStringCopy(path);
    if (walk.seen.find(key, compareSame) >= 0) {
        delete[] key;
        return;
    }
    walk.seen.append(key);
    walk.expanded->append(createStringCopy(path));
    char* classPath = createClassPath(path);
    const char* cursor = classPath;
    try {
        while (cursor != nullptr && *cursor != 0) {
            const char* end = cursor;
            while (*end != 0 && *end != ' ') {
                end++;
            }
            if (end > cursor) {
                addEntry(path, cursor, (int)(end - cursor), walk, depth);
            }
            cursor = *end == ' ' ? end + 1 : end;
        }
    } catch (char*) {
        delete[] classPath;
        throw;
    }
    delete[] classPath;
}

void expandClassPath(const stringArray& jars, stringArray* expanded, stringArray* notes) {
    classPathWalk walk = {expanded, notes, {}};
    for (int i = 0; i < jars.size(); i++) {
        addJar(jars[i], walk, 0);
    }
}
