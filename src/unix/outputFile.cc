#include "unix/outputFile.h"

#include "unix/removalOnSignal.h"
#include "util/strings.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

outputFile::outputFile(const char* finalPath)
    : path(createStringCopy(finalPath)), temporaryPath(createString(finalPath, ".XXXXXX")),
      file(nullptr) {
    int fd = openRegisteredFile(temporaryPath.get());
    if (fd >= 0) {
        file = fdopen(fd, "wb");
        if (file == nullptr) {
            close(fd);
            unlink(temporaryPath.get());
            unregisterRemoval(temporaryPath.get());
        }
    }
    if (file == nullptr) {
        throw createMessage("Unable to create '%s'", path.get());
    }
}

outputFile::~outputFile() {
    if (file != nullptr) {
        fclose(file);
        unlink(temporaryPath.get());
    }
    unregisterRemoval(temporaryPath.get());
}

void outputFile::failWriting() {
    throw createMessage("Unable to write '%s'", path.get());
}

void outputFile::write(const void* data, long length) {
    // An empty buffer may have no storage at all.
    if (length == 0) {
        return;
    }
    if (fwrite(data, 1, length, file) != (size_t)length) {
        failWriting();
    }
}

void outputFile::appendFileRange(const char* source, long offset, long length) {
    FILE* input = fopen(source, "rb");
    if (input == nullptr) {
        throw createMessage("Unable to open '%s'", source);
    }
    long remaining = fseek(input, offset, SEEK_SET) == 0 ? length : -1;
    int written = 1;
    char chunk[65536];
    while (remaining > 0 && written) {
        size_t want = remaining < (long)sizeof chunk ? remaining : sizeof chunk;
        size_t got = fread(chunk, 1, want, input);
        if (got != want) {
            break;
        }
        written = fwrite(chunk, 1, got, file) == got;
        remaining -= (long)got;
    }
    fclose(input);
    if (!written) {
        failWriting();
    }
    if (remaining != 0) {
        throw createMessage("Unable to read '%s'", source);
    }
}

void outputFile::commit(int mode) {
    int failed = fflush(file) != 0 || fchmod(fileno(file), mode) != 0 || fsync(fileno(file)) != 0;
    failed = fclose(file) != 0 || failed;
    file = nullptr;
    if (failed || rename(temporaryPath.get(), path.get()) != 0) {
        unlink(temporaryPath.get());
        unregisterRemoval(temporaryPath.get());
        failWriting();
    }
    unregisterRemoval(temporaryPath.get());
}
