#include "pack/base/reasonedFiles.h"

#include "pack/base/failure.h"
#include "unix/files.h"

void packMakeDirectories(const char* path) {
    withReason([&] { makeDirectories(path); });
}

long packGetFileSize(const char* path) {
    return withReason([&] { return getFileSize(path); });
}

char* packCreateFileContent(const char* path, long offset, int length) {
    return withReason([&] { return createFileContent(path, offset, length); });
}

char* packCreateWholeFileContent(const char* path, size_t limit) {
    return withReason([&] { return createWholeFileContent(path, limit); });
}

// outputFile has removed what it made before its constructor throws.
packOutputFile::packOutputFile(const char* path) try : file(path) {
} catch (char* message) {
    failAddingReason(message, errno);
}

void packOutputFile::write(const void* data, long length) {
    withReason([&] { file.write(data, length); });
}

void packOutputFile::appendFileRange(const char* source, long offset, long length) {
    withReason([&] { file.appendFileRange(source, offset, length); });
}

void packOutputFile::commit(int mode) {
    withReason([&] { file.commit(mode); });
}
