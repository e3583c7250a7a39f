#include "unix/tempFile.h"

#include "util/owned.h"
#include "util/strings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

char* writeTempFile(const char* text) {
    return writeTempFileFrom("/tmp/larkwin-envdump-XXXXXX", text);
}

// The file may hold secrets (the dump holds the whole environment), so a
// partial one is never left behind.
[[noreturn]] static void discardTempFile(const char* path) {
    unlink(path);
    throw createStringCopy("Failed to write to temporary file.");
}

char* writeTempFileFrom(const char* pattern, const char* text) {
    ownedString path(createStringCopy(pattern));
    // mkstemp creates the file exclusively and with mode 0600.
    int descriptor = mkstemp(path.get());
    if (descriptor < 0) {
        throw createStringCopy("Unable to create temporary file.");
    }
    FILE* stream = fdopen(descriptor, "w");
    if (stream == nullptr) {
        close(descriptor);
        discardTempFile(path.get());
    }
    size_t length = strlen(text);
    size_t written = fwrite(text, 1, length, stream);
    // Buffered bytes reach the file only when the stream is closed.
    int closed = fclose(stream);
    if (written != length || closed != 0) {
        discardTempFile(path.get());
    }
    return path.release();
}
