#include "unix/userDirectories.h"

#include "util/owned.h"
#include "util/strings.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

static int isAbsolute(const char* path) {
    return path != nullptr && path[0] == '/';
}

// The field'th (from 0) colon-separated field of line, cut in place; null
// when the line has fewer fields.
static char* cutField(char* line, int field) {
    char* begin = line;
    for (int i = 0; i < field; i++) {
        begin = strchr(begin, ':');
        if (begin == nullptr) {
            return nullptr;
        }
        begin++;
    }
    begin[strcspn(begin, ":\n")] = 0;
    return begin;
}

// A whole entry (seven fields) whose uid field holds only digits and equals
// uid.
static int isEntryOf(char* line, unsigned uid) {
    if (cutField(line, 6) == nullptr) {
        return 0;
    }
    char* field = cutField(line, 2);
    if (field == nullptr || field[0] == 0 || strspn(field, "0123456789") != strlen(field)) {
        return 0;
    }
    errno = 0;
    unsigned long value = strtoul(field, nullptr, 10);
    return errno == 0 && value == uid ? 1 : 0;
}

char* createPasswdHome(const char* passwdFile, unsigned uid) {
    FILE* file = fopen(passwdFile, "r");
    if (file == nullptr) {
        return nullptr;
    }
    char* home = nullptr;
    char* line = nullptr;
    size_t capacity = 0;
    while (getline(&line, &capacity, file) >= 0) {
        // cutField writes into the line, so each field gets its own copy.
        if (isEntryOf(ownedString(createStringCopy(line)).get(), uid)) {
            char* field = cutField(line, 5);
            if (isAbsolute(field)) {
                home = createStringCopy(field);
            }
            break;
        }
    }
    free(line);
    fclose(file);
    return home;
}

char* createUserHome() {
    const char* home = getenv("HOME");
    if (isAbsolute(home)) {
        return createStringCopy(home);
    }
    return createPasswdHome("/etc/passwd", getuid());
}

char* createXdgDirectory(const char* variable, const char* fallback) {
    const char* value = getenv(variable);
    if (isAbsolute(value)) {
        return createStringCopy(value);
    }
    ownedString home(createUserHome());
    return home != nullptr ? createString(home.get(), fallback) : nullptr;
}
