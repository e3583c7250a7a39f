#include "unix/exePath.h"

#include "unix/files.h"
#include "util/owned.h"
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

int testFile(const char* path) {
    struct stat status;
    return stat(path, &status) == 0 ? 1 : 0;
}

// Joins name to one "PATH" element; an empty element is the working directory.
static char* createSearchCandidate(const char* element, int length, const char* name) {
    ownedString elementText(new char[length + 1]);
    memcpy(elementText.get(), element, length);
    elementText[length] = 0;
    ownedString directory(createAbsolutePath(nullptr, elementText.get()));
    return createAbsolutePath(directory.get(), name);
}

static char* searchPath(const char* name) {
    const char* remaining = getenv("PATH");
    while (remaining != nullptr && *remaining != 0) {
        const char* colon = strchr(remaining, ':');
        int length = colon != nullptr ? (int)(colon - remaining) : (int)strlen(remaining);
        ownedString candidate(createSearchCandidate(remaining, length, name));
        if (testFile(candidate.get())) {
            return candidate.release();
        }
        remaining = colon != nullptr ? colon + 1 : nullptr;
    }
    return nullptr;
}

char* createExePath(const char* name) {
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
