#include "unix/exePath.h"

#include "unix/files.h"
#include "util/strings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

char* HACKexePath = nullptr;
char** HACKargv = nullptr;
int debug = 0;
int gui = 0;
int shell = 0;

int testFile(char* path) {
    struct stat status;
    return stat(path, &status) == 0 ? 1 : 0;
}

// Joins name to one "PATH" element; an empty element is the working directory.
static char* createSearchCandidate(const char* element, int length, char* name) {
    char* elementText = new char[length + 1];
    memcpy(elementText, element, length);
    elementText[length] = 0;
    char* directory = createAbsolutePath(nullptr, elementText);
    delete[] elementText;
    char* candidate = createAbsolutePath(directory, name);
    delete[] directory;
    return candidate;
}

static char* searchPath(char* name) {
    const char* remaining = getenv("PATH");
    while (remaining != nullptr && *remaining != 0) {
        const char* colon = strchr(remaining, ':');
        int length = colon != nullptr ? (int)(colon - remaining) : (int)strlen(remaining);
        char* candidate = createSearchCandidate(remaining, length, name);
        if (testFile(candidate)) {
            return candidate;
        }
        delete[] candidate;
        remaining = colon != nullptr ? colon + 1 : nullptr;
    }
    return nullptr;
}

char* createExePath(char* name) {
    if (name == nullptr) {
        return nullptr;
    }
    if (name[0] == '/') {
        return createStringCopy(name);
    }
    if (strchr(name, '/') != nullptr) {
        return createAbsolutePath(nullptr, name);
    }
    return searchPath(name);
}

char* getExecutablePath() {
    char* canonical = createCanonicalPath(HACKexePath);
    return canonical != nullptr ? canonical : createStringCopy(HACKexePath);
}

void HACKrestart() {
    // Whatever the launcher printed must not be lost with the old image.
    fflush(stdout);
    fflush(stderr);
    execv(HACKexePath, HACKargv);
}
