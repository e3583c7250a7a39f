#include "runtime/runtimeRelease.h"

#include "unix/exePath.h"
#include "unix/files.h"
#include "util/owned.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Real release files hold a few kilobytes; anything far larger is not one.
static const long largestReleaseFile = 65536;

// The whole file when it is a regular file of plausible size, else null.
// Opening a FIFO for reading waits for a writer, and opening a device may
// do anything; O_NONBLOCK makes the open return at once, and fstat then
// checks what was opened (a plain stat before would leave a window in which
// the name could be replaced). For a regular file O_NONBLOCK changes nothing.
static char* createReleaseText(const char* path) {
    int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return nullptr;
    }
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_size > largestReleaseFile) {
        close(fd);
        return nullptr;
    }
    char* text = new char[status.st_size + 1];
    long got = 0;
    while (got < status.st_size) {
        ssize_t n = read(fd, text + got, status.st_size - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        got += n;
    }
    close(fd);
    text[got] = 0;
    return text;
}

runtimeRelease::runtimeRelease(const char* home)
    : text(createReleaseText(ownedString(createString(home, "/release")).get())) {}

// The value that starts at value and ends at the line's end, without the
// quotes around it and without a carriage return before the line feed.
static char* createUnquoted(const char* value) {
    size_t length = strcspn(value, "\r\n");
    if (length >= 2 && value[0] == '"' && value[length - 1] == '"') {
        value++;
        length -= 2;
    }
    stringBuffer buffer;
    buffer.append(value, (int)length);
    return buffer.createString();
}

char* runtimeRelease::createValue(const char* key) const {
    size_t keyLength = strlen(key);
    for (const char* line = text.get(); line != nullptr && *line != 0;) {
        if (strncmp(line, key, keyLength) == 0 && line[keyLength] == '=') {
            return createUnquoted(line + keyLength + 1);
        }
        line = strchr(line, '\n');
        if (line != nullptr) {
            line++;
        }
    }
    return nullptr;
}

int runtimeRelease::getFeatureVersion() const {
    ownedString version(createValue("JAVA_VERSION"));
    return version != nullptr ? parseFeatureVersion(version.get()) : 0;
}

// A run of decimal digits at text, read into number; the length of the run,
// or 0 when there is none or it is too long to be a version.
static int readVersionNumber(const char* text, int* number) {
    int length = 0;
    *number = 0;
    while (text[length] >= '0' && text[length] <= '9') {
        if (length == 4) {
            return 0;
        }
        *number = *number * 10 + (text[length] - '0');
        length++;
    }
    return length;
}

// What may follow the feature number: further version numbers, a
// pre-release tag ("9-ea"), a build ("17+35") or a JDK 8 update ("8_392").
static int endsFeature(char c) {
    return c == 0 || c == '.' || c == '-' || c == '+' || c == '_';
}

int parseFeatureVersion(const char* version) {
    int feature;
    int length = readVersionNumber(version, &feature);
    if (length == 0 || !endsFeature(version[length])) {
        return 0;
    }
    // Up to Java 8 the feature release was the second number: "1.8.0".
    if (feature == 1 && version[length] == '.') {
        const char* second = version + length + 1;
        length = readVersionNumber(second, &feature);
        if (length == 0 || !endsFeature(second[length])) {
            return 0;
        }
    }
    return feature;
}

static int hasReleaseFile(const char* home) {
    return testFile(ownedString(createString(home, "/release")).get());
}

static int endsWith(const char* text, const char* ending) {
    size_t textLength = strlen(text);
    size_t endingLength = strlen(ending);
    return textLength >= endingLength && strcmp(text + textLength - endingLength, ending) == 0;
}

char* createRuntimeHome(const char* javaPath) {
    ownedString canonical(createCanonicalPath(javaPath));
    if (canonical == nullptr) {
        return nullptr;
    }
    ownedString bin(createParentPath(canonical.get()));
    ownedString home(createParentPath(bin.get()));
    if (!hasReleaseFile(home.get()) && endsWith(home.get(), "/jre")) {
        ownedString jdk(createParentPath(home.get()));
        if (hasReleaseFile(jdk.get())) {
            return jdk.release();
        }
    }
    return home.release();
}
