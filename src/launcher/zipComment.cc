#include "launcher/zipComment.h"

#include "unix/failureReason.h"
#include "unix/files.h"
#include "util/owned.h"
#include "util/strings.h"

#include <cstdio>
#include <cstring>

static const int endRecordSignature = 0x06054B50;
static const int endRecordSize = 22;
// A comment is at most 65535 bytes long, so a record whose comment runs to
// the end of the file lies within this many bytes of the end: nothing before
// them can qualify, and a file without an archive is not read any further.
static const int reach = endRecordSize + 65535;

int get2LE(const unsigned char* buffer, int position) {
    return buffer[position] | buffer[position + 1] << 8;
}

int get4LE(const unsigned char* buffer, int position) {
    unsigned int value = (unsigned int)buffer[position] | (unsigned int)buffer[position + 1] << 8 |
                         (unsigned int)buffer[position + 2] << 16 |
                         (unsigned int)buffer[position + 3] << 24;
    return (int)value;
}

static const int chunkSize = 4096;

// The position of the qualifying record nearest the end of a chunk of length
// bytes that starts at chunkStart, or -1. The chunk is searched forwards with
// memchr for the signature's first byte, which passes over the bytes that
// cannot start a record far faster than a comparison at every position; the
// last qualifying record found is the one nearest the end.
static long findInChunk(unsigned char* chunk, int length, long chunkStart, long fileSize) {
    long found = -1;
    int candidates = length - endRecordSize + 1;
    for (int candidate = 0; candidate < candidates; candidate++) {
        void* next = memchr(chunk + candidate, endRecordSignature & 0xFF, candidates - candidate);
        if (next == nullptr) {
            break;
        }
        candidate = (int)((unsigned char*)next - chunk);
        if (get4LE(chunk, candidate) == endRecordSignature &&
            chunkStart + candidate + endRecordSize + get2LE(chunk, candidate + 20) == fileSize) {
            found = chunkStart + candidate;
        }
    }
    return found;
}

// Scans from the end in short chunks read into one buffer: a comment usually
// sits in the last few hundred bytes, and every page of fresh memory costs a
// fault at each start. Consecutive chunks overlap by a record less one byte,
// so that a record lying across their border is seen whole.
long findZipEndRecord(const char* fileName, long fileSize) {
    long reachStart = fileSize > reach ? fileSize - reach : 0;
    FILE* file = fopen(fileName, "r");
    if (file == nullptr) {
        throwUnableToOpen(fileName);
    }
    // Each chunk is read straight into the buffer, without stdio's own.
    setvbuf(file, nullptr, _IONBF, 0);
    ownedArray<unsigned char> chunk(new unsigned char[chunkSize]);
    long found = -1;
    long chunkEnd = fileSize;
    for (;;) {
        long chunkStart = chunkEnd - chunkSize > reachStart ? chunkEnd - chunkSize : reachStart;
        int length = 0;
        if (fseeko(file, (off_t)chunkStart, SEEK_SET) == 0) {
            length = (int)fread(chunk.get(), 1, chunkEnd - chunkStart, file);
        }
        found = findInChunk(chunk.get(), length, chunkStart, fileSize);
        if (found >= 0 || chunkStart == reachStart) {
            break;
        }
        chunkEnd = chunkStart + endRecordSize - 1;
    }
    fclose(file);
    return found;
}

char* getZipComment(const char* fileName) {
    long fileSize = getFileSize(fileName);
    if (fileSize < endRecordSize) {
        throw createStringCopy("Zip file size is unreasonably small");
    }
    long position = findZipEndRecord(fileName, fileSize);
    if (position < 0) {
        return nullptr;
    }
    int commentLength = (int)(fileSize - position - endRecordSize);
    return createFileContent(fileName, fileSize - commentLength, commentLength);
}
