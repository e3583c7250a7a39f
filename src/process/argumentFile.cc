#include "process/argumentFile.h"

#include "unix/exePath.h"
#include "unix/files.h"
#include "unix/tempFile.h"
#include "util/strings.h"

#include <cstdio>
#include <cstring>

// The smallest MAX_ARG_STRLEN of any Linux system (4 KiB pages); with larger
// pages the file is used where the kernel would still have taken the argument.
static const size_t longestExecArgument = 32 * 4096;

int isTooLongForExec(const char* argument) {
    return strlen(argument) + 1 > longestExecArgument ? 1 : 0;
}

// The escape for c within quotes, or null when c stands for itself.
static const char* escapeFor(char c) {
    switch (c) {
    case '\\':
        return "\\\\";
    case '"':
        return "\\\"";
    case '\r':
        return "\\r";
    case '\n':
        return "\\n";
    default:
        return nullptr;
    }
}

// The length of the argument's line: quotes, escapes and line feed.
static size_t measureLine(const char* argument) {
    size_t length = 3;
    for (const char* c = argument; *c != 0; c++) {
        length += escapeFor(*c) != nullptr ? 2 : 1;
    }
    return length;
}

static char* writeLine(char* out, const char* argument) {
    *out++ = '"';
    for (const char* c = argument; *c != 0; c++) {
        const char* escape = escapeFor(*c);
        if (escape != nullptr) {
            *out++ = escape[0];
            *out++ = escape[1];
        } else {
            *out++ = *c;
        }
    }
    *out++ = '"';
    *out++ = '\n';
    return out;
}

char* createArgumentFileText(char** arguments, int count) {
    size_t length = 0;
    for (int i = 0; i < count; i++) {
        length += measureLine(arguments[i]);
    }
    char* text = new char[length + 1];
    char* end = text;
    for (int i = 0; i < count; i++) {
        end = writeLine(end, arguments[i]);
    }
    *end = 0;
    return text;
}

argumentFile::argumentFile() {}

argumentFile::~argumentFile() {
    if (path) {
        deleteTempFile(path.get());
    }
}

char* argumentFile::createReference(char** arguments, int count) {
    ownedString text(createArgumentFileText(arguments, count));
    path.reset(writeTempFileFrom("/tmp/larkwin-args-XXXXXX", text.get()));
    if (debug) {
        printf("Arguments too long for the command line, in %s:\n%s", path.get(), text.get());
    }
    return createString("@", path.get());
}
