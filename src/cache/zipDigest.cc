#include "cache/zipDigest.h"

#include "util/owned.h"

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

static const unsigned long long endRecordSize = 22;
static const unsigned long long longestComment = 65535;
static const unsigned long long locatorSize = 20;
static const unsigned long long zip64RecordSize = 56;
static const unsigned long long nearSize = 32768;

static unsigned long long readLittle(const unsigned char* bytes, int count) {
    unsigned long long value = 0;
    for (int i = count - 1; i >= 0; i--) {
        value = (value << 8) | bytes[i];
    }
    return value;
}

static unsigned long long mix(unsigned long long digest, unsigned long long word) {
    digest ^= word;
    digest *= 0x9e3779b97f4a7c15ull;
    return digest ^ (digest >> 29);
}

static unsigned long long mixBytes(unsigned long long digest, const unsigned char* bytes,
                                   size_t length) {
    size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        unsigned long long word;
        memcpy(&word, bytes + i, 8);
        digest = mix(digest, word);
    }
    for (; i < length; i++) {
        digest = mix(digest, bytes[i]);
    }
    return mix(digest, length);
}

static int readAt(int fd, unsigned char* into, unsigned long long length,
                  unsigned long long offset) {
    unsigned long long done = 0;
    while (done < length) {
        ssize_t got = pread(fd, into + done, (size_t)(length - done), (off_t)(offset + done));
        if (got <= 0) {
            return 0;
        }
        done += (unsigned long long)got;
    }
    return 1;
}

// The end record's offset in tail (which ends the file): the last
// signature whose comment reaches exactly to the end; -1 when none does.
static long findEndRecord(const unsigned char* tail, unsigned long long length) {
    if (length < endRecordSize) {
        return -1;
    }
    for (long at = (long)(length - endRecordSize); at >= 0; at--) {
        if (memcmp(tail + at, "PK\5\6", 4) == 0 &&
            readLittle(tail + at + 20, 2) == length - endRecordSize - (unsigned long long)at) {
            return at;
        }
    }
    return -1;
}

// Where the central directory ends (the ZIP64 end record, else the end
// record) and its size; 0 when the records do not hold together.
static int locateDirectory(int fd, const unsigned char* record, unsigned long long recordAt,
                           unsigned long long* end, unsigned long long* size) {
    *end = recordAt;
    *size = readLittle(record + 12, 4);
    if (*size != 0xffffffffull && readLittle(record + 16, 4) != 0xffffffffull) {
        return *size <= *end;
    }
    unsigned char zip64[zip64RecordSize + locatorSize];
    if (recordAt < sizeof zip64 || !readAt(fd, zip64, sizeof zip64, recordAt - sizeof zip64) ||
        memcmp(zip64, "PK\6\6", 4) != 0 || memcmp(zip64 + zip64RecordSize, "PK\6\7", 4) != 0) {
        return 0;
    }
    *end = recordAt - sizeof zip64;
    *size = readLittle(zip64 + 40, 8);
    return *size <= *end;
}

// Most archives end with their end record and no comment, and a small one
// has its whole central directory in the last few pages: one read finds
// both. Only a longer comment (a bundle's configuration) needs the longest
// tail, read into storage of its own.
static unsigned long long digestOpen(int fd, unsigned long long fileSize) {
    unsigned char near[nearSize] = {};
    ownedArray<unsigned char> far;
    unsigned char* tail = near;
    unsigned long long length = fileSize < nearSize ? fileSize : nearSize;
    if (!readAt(fd, tail, length, fileSize - length)) {
        return 0;
    }
    long at = findEndRecord(tail, length);
    if (at < 0 && length < fileSize) {
        far.reset(new unsigned char[endRecordSize + longestComment]);
        tail = far.get();
        length =
            fileSize < endRecordSize + longestComment ? fileSize : endRecordSize + longestComment;
        if (!readAt(fd, tail, length, fileSize - length)) {
            return 0;
        }
        at = findEndRecord(tail, length);
    }
    unsigned long long tailStart = fileSize - length;
    unsigned long long end;
    unsigned long long size;
    if (at < 0 || !locateDirectory(fd, tail + at, tailStart + at, &end, &size)) {
        return 0;
    }
    unsigned long long digest =
        mixBytes(0x5a17c0de, tail + at, (size_t)(length - (unsigned long long)at));
    if (end - size >= tailStart) {
        return mixBytes(digest, tail + (end - size - tailStart), (size_t)size) | 1;
    }
    for (unsigned long long offset = end - size; offset < end; offset += nearSize) {
        unsigned long long part = end - offset < nearSize ? end - offset : nearSize;
        if (!readAt(fd, near, part, offset)) {
            return 0;
        }
        digest = mixBytes(digest, near, (size_t)part);
    }
    return digest | 1;
}

unsigned long long digestZipDirectory(const char* path) {
    int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return 0;
    }
    struct stat status;
    unsigned long long digest = 0;
    if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
        digest = digestOpen(fd, (unsigned long long)status.st_size);
    }
    close(fd);
    return digest;
}
