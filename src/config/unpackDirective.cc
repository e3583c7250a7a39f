#include "config/unpackDirective.h"

#include "unix/exePath.h"
#include "unix/files.h"
#include "unpack/copyRules.h"
#include "unpack/unpackedCopy.h"
#include "util/owned.h"
#include "util/strings.h"
#include "vm/javaVm.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

const char* const unpackedJarName = "application.jar";

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

// The application's jar from its copy takes the executable's place on the
// class path: a start-up archive that records it holds for every copy of
// the one file, whose own time a copy or a download changes.
static void useUnpackedJar(javaVm& vm, const char* copy) {
    ownedString jar(createMessage("%s/%s", copy, unpackedJarName));
    ownedString canonical(createCanonicalPath(jar.get()));
    if (canonical == nullptr) {
        throw createMessage("Unable to find '%s': %s", jar.get(), strerror(errno));
    }
    if (HACKexePath != nullptr) {
        vm.addSkipPath(createStringCopy(HACKexePath));
    }
    vm.addPath(canonical.release());
}

// The runtime's copy comes last: the folder that holds it, and the data's
// copy, tell the start-up cache where the archive that the file ships lies.
static void useUnpackedRuntime(javaVm& vm, const char* copy) {
    vm.setJavaPath(createString(copy, "/bin/java"));
    ownedString canonical(createCanonicalPath(copy));
    ownedString root(canonical != nullptr ? createParentPath(canonical.get()) : nullptr);
    if (root != nullptr && unpackedAppDirectory != nullptr) {
        vm.setUnpackedCopies(root.release(), createStringCopy(unpackedAppDirectory.get()));
    }
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
    const char* kinds[] = {"runtime", "appdir", "jars"};
    int known = 0;
    for (const char* name : kinds) {
        known = known || (fields == 4 && strcmp(kind, name) == 0);
    }
    if (!known || !isCopyDigest(digest) || !readPosition(offsetText, &offset) ||
        !readPosition(lengthText, &length)) {
        throw createMessage("Malformed unpack '%s'", argument);
    }
    ownedString executable(getExecutablePath());
    ownedString copy(createUnpackedCopy(executable.get(), digest, offset, length));
    if (strcmp(kind, "runtime") == 0) {
        useUnpackedRuntime(vm, copy.get());
    } else if (strcmp(kind, "jars") == 0) {
        useUnpackedJar(vm, copy.get());
    } else {
        unpackedAppDirectory.reset(copy.release());
    }
}
