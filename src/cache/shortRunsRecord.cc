#include "cache/shortRunsRecord.h"

#include "util/owned.h"
#include "util/strings.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

// A run's CPU time has at most 15 digits (over 30 years).
static const int longestNumber = 15;

// "s1 T 123456" up to its line feed, which must be there.
static int parseLine(const char* line, const char* end, shortRunSample* sample) {
    if (end - line < 6 || strncmp(line, "s1 ", 3) != 0 || (line[3] != 'T' && line[3] != 'C') ||
        line[4] != ' ') {
        return 0;
    }
    long long value = 0;
    const char* digit = line + 5;
    for (; digit < end && *digit >= '0' && *digit <= '9'; digit++) {
        value = value * 10 + (*digit - '0');
        if (digit - (line + 5) >= longestNumber) {
            return 0;
        }
    }
    if (digit == line + 5 || digit != end) {
        return 0;
    }
    sample->mode = line[3] == 'C' ? c1OnlyMode : allTiersMode;
    sample->cpuMicroseconds = value;
    return 1;
}

int parseShortRuns(const char* text, long length, shortRunSample* samples, int capacity) {
    int count = 0;
    const char* end = text + length;
    for (const char* line = text; line < end && capacity > 0;) {
        const char* feed = (const char*)memchr(line, '\n', (size_t)(end - line));
        if (feed == nullptr) {
            break;
        }
        shortRunSample sample;
        if (parseLine(line, feed, &sample)) {
            if (count == capacity) {
                memmove(samples, samples + 1, sizeof samples[0] * (size_t)(capacity - 1));
                count--;
            }
            samples[count++] = sample;
        }
        line = feed + 1;
    }
    return count;
}

void formatShortRun(char* line, unsigned long size, shortRunSample sample) {
    snprintf(line, size, "s1 %c %lld\n", sample.mode == c1OnlyMode ? 'C' : 'T',
             sample.cpuMicroseconds);
}

static int isOwnAndClosed(int fd) {
    struct stat status;
    return fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == geteuid() &&
           (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// The file's last readBytes (from a line's start), read through fd.
static int readTail(int fd, shortRunSample* samples, int capacity) {
    struct stat status;
    if (fstat(fd, &status) != 0) {
        return 0;
    }
    long offset = status.st_size > readBytes ? (long)status.st_size - readBytes : 0;
    char text[readBytes];
    ssize_t length = pread(fd, text, sizeof text, offset);
    if (length <= 0) {
        return 0;
    }
    const char* start = text;
    if (offset > 0) {
        const char* feed = (const char*)memchr(text, '\n', (size_t)length);
        start = feed != nullptr ? feed + 1 : text + length;
    }
    return parseShortRuns(start, length - (start - text), samples, capacity);
}

int readShortRuns(const char* path, shortRunSample* samples, int capacity) {
    int fd = open(path, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return 0;
    }
    int count = isOwnAndClosed(fd) ? readTail(fd, samples, capacity) : 0;
    close(fd);
    return count;
}

static int writeAll(int fd, const char* text, size_t length) {
    while (length > 0) {
        ssize_t written = write(fd, text, length);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return 0;
        }
        text += written;
        length -= (size_t)written;
    }
    return 1;
}

// The last keptRuns lines under a temporary name, renamed over path. The
// caller holds the lock of the file that path names, so no line is
// appended to it meanwhile; later appenders find the new file.
static void compact(const char* path, int fd) {
    shortRunSample samples[keptRuns];
    int count = readTail(fd, samples, keptRuns);
    ownedString temporary(createString(path, ".XXXXXX"));
    int out = mkstemp(temporary.get());
    if (out < 0) {
        return;
    }
    int written = 1;
    for (int i = 0; i < count && written; i++) {
        char line[48];
        formatShortRun(line, sizeof line, samples[i]);
        written = writeAll(out, line, strlen(line));
    }
    if (close(out) != 0 || !written || rename(temporary.get(), path) != 0) {
        unlink(temporary.get());
    }
}

// Whether fd is still the file that path names: a compaction may have put
// another in its place while this run waited for the lock.
static int isStillNamed(int fd, const char* path) {
    struct stat opened;
    struct stat named;
    return fstat(fd, &opened) == 0 && lstat(path, &named) == 0 && opened.st_ino == named.st_ino &&
           opened.st_dev == named.st_dev;
}

int appendShortRun(const char* path, shortRunSample sample) {
    char line[48];
    formatShortRun(line, sizeof line, sample);
    for (int attempt = 0; attempt < 3; attempt++) {
        int fd = open(path, O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            return 0;
        }
        if (!isOwnAndClosed(fd) || flock(fd, LOCK_EX) != 0) {
            close(fd);
            return 0;
        }
        if (!isStillNamed(fd, path)) {
            close(fd);
            continue;
        }
        int written = writeAll(fd, line, strlen(line));
        struct stat status;
        if (written && fstat(fd, &status) == 0 && status.st_size > compactedBytes) {
            compact(path, fd);
        }
        close(fd);
        return written;
    }
    return 0;
}
