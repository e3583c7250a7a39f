#include "unix/files.h"

#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

const char* getPathSeparator() {
    return ":";
}

const char* getLineTerminator() {
    return "\n";
}

int (*getFileStrCmp())(const char*, const char*) {
    return strcasecmp;
}

[[noreturn]] static void throwUnableToOpen(const char* path) {
    throw createMessage("Unable to open '%s'", path);
}

// fopen() succeeds on a directory on this platform, but reading it fails;
// such a file counts as one that cannot be opened.
static FILE* openForReading(const char* path) {
    FILE* file = fopen(path, "r");
    if (file == nullptr) {
        throwUnableToOpen(path);
    }
    struct stat status;
    if (fstat(fileno(file), &status) != 0 || S_ISDIR(status.st_mode)) {
        fclose(file);
        throwUnableToOpen(path);
    }
    return file;
}

long getFileSize(char* path) {
    FILE* file = openForReading(path);
    long size = -1;
    if (fseek(file, 0, SEEK_END) == 0) {
        size = ftell(file);
    }
    fclose(file);
    return size;
}

char* createFileContent(char* path, int offset, int length) {
    FILE* file = openForReading(path);
    if (length < 0) {
        length = 0;
    }
    char* content = new char[(size_t)length + 1];
    size_t got = 0;
    if (fseek(file, offset, SEEK_SET) == 0) {
        got = fread(content, 1, length, file);
    }
    fclose(file);
    content[got] = 0;
    return content;
}

char* createWholeFileContent(char* path) {
    FILE* file = openForReading(path);
    stringBuffer text;
    char chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) {
        text.append(chunk, (int)got);
    }
    fclose(file);
    return text.createString();
}

char* createWorkingDirectory() {
    for (size_t size = 1024;; size *= 2) {
        char* directory = new char[size];
        if (getcwd(directory, size) != nullptr) {
            return directory;
        }
        delete[] directory;
        if (errno != ERANGE) {
            return nullptr;
        }
    }
}

char* createCanonicalPath(const char* path) {
    char* resolved = realpath(path, nullptr);
    if (resolved == nullptr) {
        return nullptr;
    }
    char* owned = createStringCopy(resolved);
    free(resolved);
    return owned;
}

// The canonical form of base; when it cannot be resolved, base itself made
// absolute, so that a base that names nothing yields a result that names
// nothing either.
static char* createCanonicalBase(char* base) {
    char* canonical = createCanonicalPath(base);
    if (canonical != nullptr || base[0] == '/') {
        return canonical != nullptr ? canonical : createStringCopy(base);
    }
    char* directory = createWorkingDirectory();
    char* prefix = createString(directory != nullptr ? directory : "", "/");
    char* joined = createString(prefix, base);
    delete[] prefix;
    delete[] directory;
    return joined;
}

// Removes the last component of the text in result (the root is the empty
// prefix, so nothing is removed there).
static void removeLastComponent(stringBuffer& result, char* text) {
    char* lastSlash = strrchr(text, '/');
    if (lastSlash != nullptr) {
        *lastSlash = 0;
    }
    result.clear();
    result.append(text);
}

static void applyComponent(stringBuffer& result, const char* component, int length) {
    if (length == 1 && component[0] == '.') {
        return;
    }
    if (length == 2 && component[0] == '.' && component[1] == '.') {
        char* text = result.createString();
        removeLastComponent(result, text);
        delete[] text;
        return;
    }
    result.append('/');
    result.append(component, length);
}

char* createAbsolutePath(char* base, char* path) {
    if (path[0] == '/') {
        return createStringCopy(path);
    }
    char* directory = base != nullptr ? createCanonicalBase(base) : createWorkingDirectory();
    stringBuffer result;
    if (directory != nullptr && strcmp(directory, "/") != 0) {
        result.append(directory);
    }
    delete[] directory;
    const char* component = path;
    while (*component != 0) {
        const char* end = strchrnul(component, '/');
        applyComponent(result, component, (int)(end - component));
        component = *end == '/' ? end + 1 : end;
    }
    if (result.getLength() == 0) {
        result.append('/');
    }
    return result.createString();
}

void deleteTempFile(char* path) {
    unlink(path);
}
