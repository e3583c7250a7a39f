#include "launcher/zipComment.h"

#include "unix/files.h"
#include "util/strings.h"

static const int endRecordSignature = 0x06054B50;
static const int endRecordSize = 22;
static const int scanWindow = 65536;

int get2LE(unsigned char* buffer, int position) {
    return buffer[position] | buffer[position + 1] << 8;
}

int get4LE(unsigned char* buffer, int position) {
    unsigned int value = (unsigned int)buffer[position] | (unsigned int)buffer[position + 1] << 8 |
                         (unsigned int)buffer[position + 2] << 16 |
                         (unsigned int)buffer[position + 3] << 24;
    return (int)value;
}

// Scans the window from its end, so that the record nearest the end of the
// file is found first.
static long findInWindow(unsigned char* window, int length, long windowStart, long fileSize) {
    for (int candidate = length - endRecordSize; candidate >= 0; candidate--) {
        if (get4LE(window, candidate) != endRecordSignature) {
            continue;
        }
        long position = windowStart + candidate;
        if (position + endRecordSize + get2LE(window, candidate + 20) == fileSize) {
            return position;
        }
    }
    return -1;
}

long findZipEndRecord(char* fileName, long fileSize) {
    long windowLength = fileSize > scanWindow ? scanWindow : fileSize;
    long windowEnd = fileSize;
    for (;;) {
        long windowStart = windowEnd > windowLength ? windowEnd - windowLength : 0;
        int length = (int)(windowEnd - windowStart);
        unsigned char* window =
            (unsigned char*)createFileContent(fileName, (int)windowStart, length);
        long position = findInWindow(window, length, windowStart, fileSize);
        delete[] window;
        if (position >= 0 || windowStart == 0) {
            return position;
        }
        // Consecutive windows overlap by one record, so that a record lying
        // across their border is still seen whole.
        windowEnd = windowStart + endRecordSize;
    }
}

char* getZipComment(char* fileName) {
    long fileSize = getFileSize(fileName);
    if (fileSize < endRecordSize) {
        throw createStringCopy("Zip file size is unreasonably small");
    }
    long position = findZipEndRecord(fileName, fileSize);
    if (position < 0) {
        return nullptr;
    }
    int commentLength = (int)(fileSize - position - endRecordSize);
    return createFileContent(fileName, (int)(fileSize - commentLength), commentLength);
}
