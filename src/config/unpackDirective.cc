#include "config/unpackDirective.h"

#include "unix/exePath.h"
#include "unpack/copyRules.h"
#include "unpack/unpackedCopy.h"
#include "util/owned.h"
#include "util/strings.h"
#include "vm/javaVm.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static ownedString unpackedAppDirectory;

const char* getUnpackedAppDirectory() {
    return unpackedAppDirectory.get();
}

// A byte position in the file: digits only, within a long.
static int readPosition(const char* text, long* value) {
    if (text[0] < '0' || text[0] > '9') {
        return 0;
    }
    char* end = nullptr;
    errno = 0;
    *value = strtol(text, &end, 10);
    return errno == 0 && *end == 0;
}

void applyUnpack(configFile&, javaVm& vm, char* argument) {
    char kind[16];
    char digest[65];
    char offsetText[24];
    char lengthText[24];
    char extra[2];
    long offset = 0;
    long length = 0;
    int fields =
        sscanf(argument, "%15s %64s %23s %23s %1s", kind, digest, offsetText, lengthText, extra);
    int isRuntime = fields == 4 && strcmp(kind, "runtime") == 0;
    int isAppDirectory = fields == 4 && strcmp(kind, "appdir") == 0;
    if ((!isRuntime && !isAppDirectory) || !isCopyDigest(digest) ||
        !readPosition(offsetText, &offset) || !readPosition(lengthText, &length)) {
        throw createMessage("Malformed unpack '%s'", argument);
    }
    ownedString executable(getExecutablePath());
    ownedString copy(createUnpackedCopy(executable.get(), digest, offset, length));
    if (isRuntime) {
        vm.setJavaPath(createString(copy.get(), "/bin/java"));
    } else {
        unpackedAppDirectory.reset(copy.release());
    }
}
