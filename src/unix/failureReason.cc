#include "unix/failureReason.h"

#include "unix/exePath.h"
#include "util/strings.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

void reportFailureReason(const char* what, const char* path, int cause) {
    if (debug) {
        printf("reason: %s '%s': %s\n", what, path, strerror(cause));
    }
    errno = cause;
}

void throwWithReason(char* message, int cause) {
    errno = cause;
    throw message;
}

void throwUnableToOpen(const char* path) {
    int cause = errno;
    reportFailureReason("cannot open", path, cause);
    throwWithReason(createMessage("Unable to open '%s'", path), cause);
}
