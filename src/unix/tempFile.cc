#include "unix/tempFile.h"

#include "unix/failureReason.h"
#include "util/owned.h"
#include "util/strings.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

char* writeTempFile(const char* text) {
    return writeTempFileFrom("/tmp/larkwin-envdump-XXXXXX", text);
}

// The file may hold secrets (the dump holds the whole environment), so a
// partial one is never left behind.
[[noreturn]] static void discardTempFile(const char* path, int cause) {
    reportFailureReason("cannot write", path, cause);
    unlink(path);
    throwWithReason(createStringCopy("Failed to write to temporary file."), cause);
}

char* writeTempFileFrom(const char* pattern, const char* text) {
    ownedString path(createStringCopy(pattern));
    // mkstemp creates the file exclusively and with mode 0600.
    int descriptor = mkstemp(path.get());
    if (descriptor < 0) {
        // The template itself, since mkstemp may have changed it.
        int cause = errno;
        reportFailureReason("cannot create", pattern, cause);
        throwWithReason(createStringCopy("Unable to create temporary file."), cause);
    }
    FILE* stream = fdopen(descriptor, "w");
    if (stream == nullptr) {
        int cause = errno;
        close(descriptor);
        discardTempFile(path.get(), cause);
    }
    size_t length = strlen(text);
    size_t written = fwrite(text, 1, length, stream);
    int cause = written != length ? errno : 0;
    // Buffered bytes reach the file only when the stream is closed.
    if (fclose(stream) != 0 && cause == 0) {
        cause = errno;
    }
    if (written != length || cause != 0) {
        discardTempFile(path.get(), cause != 0 ? cause : EIO);
    }
    return path.release();
}
