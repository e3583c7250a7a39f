#include "launcher/openCommand.h"

#include "unix/exePath.h"
#include "unix/files.h"
#include "util/owned.h"
#include "util/strings.h"

// Plain ASCII, whatever the locale says.
static int isSchemeLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

static int isSchemeCharacter(char c) {
    return isSchemeLetter(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// The length of the scheme that begins parameter and is followed by ":", or 0.
static int getSchemeLength(const char* parameter) {
    if (!isSchemeLetter(parameter[0])) {
        return 0;
    }
    int length = 1;
    while (isSchemeCharacter(parameter[length])) {
        length++;
    }
    return parameter[length] == ':' ? length : 0;
}

int isUrlParameter(const char* parameter) {
    // A file that exists is what the user named, colon or not.
    return getSchemeLength(parameter) >= 2 && !testFile(parameter);
}

char* createOpenCommand(const char* parameter) {
    if (isUrlParameter(parameter)) {
        return createString("open ", parameter);
    }
    ownedString absolute(createAbsolutePath(nullptr, parameter));
    return createString("open ", absolute.get());
}
