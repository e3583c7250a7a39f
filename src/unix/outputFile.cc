#include "unix/outputFile.h"

#include "unix/failureReason.h"
#include "unix/removalOnSignal.h"
#include "util/strings.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

outputFile::outputFile(const char* finalPath)
    : path(createStringCopy(finalPath)), temporaryPath(createString(finalPath, ".XXXXXX")),
      file(nullptr) {
    int fd = openRegisteredFile(temporaryPath.get());
    int cause = errno;
    if (fd >= 0) {
        file = fdopen(fd, "wb");
        if (file == nullptr) {
            cause = errno;
            close(fd);
            unlink(temporaryPath.get());
            unregisterRemoval(temporaryPath.get());
        }
    }
    if (file == nullptr) {
        throwWithReason(createMessage("Unable to create '%s'", path.get()), cause);
    }
}

outputFile::~outputFile() {
    if (file != nullptr) {
        fclose(file);
        unlink(temporaryPath.get());
    }
    unregisterRemoval(temporaryPath.get());
}

void outputFile::failWriting(int cause) {
    throwWithReason(createMessage("Unable to write '%s'", path.get()), cause);
}

void outputFile::write(const void* data, long length) {
    // An empty buffer may have no storage at all.
    if (length == 0) {
        return;
    }
    if (fwrite(data, 1, length, file) != (size_t)length) {
        failWriting(errno);
    }
}

void outputFile::appendFileRange(const char* source, long offset, long length) {
    FILE* input = fopen(source, "rb");
    if (input == nullptr) {
        throwUnableToOpen(source);
    }
    // A file shorter than the range has no errno of its own.
    int cause = ENODATA;
    long remaining = fseek(input, offset, SEEK_SET) == 0 ? length : -1;
    if (remaining < 0) {
        cause = errno;
    }
    int written = 1;
    char chunk[65536];
    while (remaining > 0 && written) {
        size_t want = remaining < (long)sizeof chunk ? remaining : sizeof chunk;
        size_t got = fread(chunk, 1, want, input);
        if (got != want) {
            cause = ferror(input) ? errno : cause;
            break;
        }
        written = fwrite(chunk, 1, got, file) == got;
        cause = written ? cause : errno;
        remaining -= (long)got;
    }
    fclose(input);
    if (!written) {
        failWriting(cause);
    }
    if (remaining != 0) {
        throwWithReason(createMessage("Unable to read '%s'", source), cause);
    }
}

void outputFile::commit(int mode) {
    int cause = 0;
    if (fflush(file) != 0 || fchmod(fileno(file), mode) != 0 || fsync(fileno(file)) != 0) {
        cause = errno;
    }
    if (fclose(file) != 0 && cause == 0) {
        cause = errno;
    }
    file = nullptr;
    if (cause == 0 && rename(temporaryPath.get(), path.get()) != 0) {
        cause = errno;
    }
    if (cause != 0) {
        unlink(temporaryPath.get());
        unregisterRemoval(temporaryPath.get());
        failWriting(cause);
    }
    unregisterRemoval(temporaryPath.get());
}
