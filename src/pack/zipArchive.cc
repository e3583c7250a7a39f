#include "pack/zipArchive.h"

#include "launcher/zipComment.h"
#include "unix/files.h"
#include "unix/outputFile.h"
#include "util/strings.h"

#include <climits>
#include <cstring>

// Sizes and fields of the ZIP format (PKWARE application note).
static const int endRecordSize = 22;
static const int zip64LocatorSize = 20;
static const int zip64LocatorSignature = 0x07064B50;
static const int headerSize = 46;
static const int headerSignature = 0x02014B50;
static const long largestOffset = 0xFFFFFFFFL;

static long get4(unsigned char* buffer, int position) {
    return (unsigned int)get4LE(buffer, position);
}

static void put2LE(unsigned char* buffer, int position, long value) {
    buffer[position] = value & 0xFF;
    buffer[position + 1] = value >> 8 & 0xFF;
}

static void put4LE(unsigned char* buffer, int position, long value) {
    put2LE(buffer, position, value & 0xFFFF);
    put2LE(buffer, position + 2, value >> 16 & 0xFFFF);
}

// A central directory header followed by its name, extra field and comment.
static long headerLength(unsigned char* header) {
    return headerSize + get2LE(header, 28) + get2LE(header, 30) + get2LE(header, 32);
}

static unsigned char* readBytes(char* path, long offset, long length) {
    return (unsigned char*)createFileContent(path, offset, (int)length);
}

zipArchive::zipArchive(const char* archivePath)
    : path(createStringCopy(archivePath)), endPosition(-1), directoryOffset(0), directorySize(0),
      endRecord(nullptr), directory(nullptr) {
    try {
        readEndRecord();
        readDirectory();
    } catch (char*) {
        delete[] directory;
        delete[] endRecord;
        delete[] path;
        throw;
    }
}

zipArchive::~zipArchive() {
    delete[] directory;
    delete[] endRecord;
    delete[] path;
}

void zipArchive::fail(const char* format) const {
    throw createMessage(format, path);
}

void zipArchive::readEndRecord() {
    long fileSize = getFileSize(path);
    if (fileSize < endRecordSize) {
        fail("'%s' is not a zip archive");
    }
    // Parts of the archive are read with int lengths; so large an archive
    // is not bundled.
    if (fileSize > INT_MAX) {
        fail("'%s' is too large to bundle");
    }
    endPosition = findZipEndRecord(path, fileSize);
    if (endPosition < 0) {
        fail("'%s' is not a zip archive");
    }
    endRecord = readBytes(path, endPosition, endRecordSize);
    int zip64Locator = 0;
    if (endPosition >= zip64LocatorSize) {
        unsigned char* locator = readBytes(path, endPosition - zip64LocatorSize, 4);
        zip64Locator = get4LE(locator, 0) == zip64LocatorSignature;
        delete[] locator;
    }
    if (zip64Locator || get2LE(endRecord, 10) == 0xFFFF || get4(endRecord, 12) == largestOffset ||
        get4(endRecord, 16) == largestOffset) {
        fail("'%s' is a ZIP64 archive, which larkwin-pack cannot adjust");
    }
    // Archives split over several files are not single-file zip archives.
    if (get2LE(endRecord, 4) != 0 || get2LE(endRecord, 6) != 0 ||
        get2LE(endRecord, 8) != get2LE(endRecord, 10)) {
        fail("'%s' is not a zip archive");
    }
}

void zipArchive::readDirectory() {
    directorySize = get4(endRecord, 12);
    directoryOffset = get4(endRecord, 16);
    if (directoryOffset + directorySize > endPosition) {
        fail("'%s' is not a zip archive");
    }
    // Offsets that do not count bytes in front of the archive.
    if (directoryOffset + directorySize < endPosition) {
        fail("'%s' already has a launcher or other bytes in front of its archive");
    }
    directory = readBytes(path, directoryOffset, directorySize);
    long firstLocalHeader = largestOffset;
    long position = 0;
    for (int entry = 0; entry < get2LE(endRecord, 10); entry++) {
        if (position + headerSize > directorySize ||
            get4LE(directory, position) != headerSignature) {
            fail("'%s' is not a zip archive");
        }
        long localHeader = get4(directory, position + 42);
        if (localHeader == largestOffset) {
            fail("'%s' is a ZIP64 archive, which larkwin-pack cannot adjust");
        }
        firstLocalHeader = localHeader < firstLocalHeader ? localHeader : firstLocalHeader;
        position += headerLength(directory + position);
    }
    if (position != directorySize) {
        fail("'%s' is not a zip archive");
    }
    // Offsets that already count bytes in front of the archive.
    if (position > 0 && firstLocalHeader != 0) {
        fail("'%s' already has a launcher or other bytes in front of its archive");
    }
}

void zipArchive::writeShifted(outputFile& out, long shift, const char* comment) const {
    if (directoryOffset + shift > largestOffset) {
        fail("'%s' is too large to bundle");
    }
    out.appendFileRange(path, 0, directoryOffset);
    for (long position = 0; position < directorySize;
         position += headerLength(directory + position)) {
        unsigned char header[headerSize];
        memcpy(header, directory + position, headerSize);
        put4LE(header, 42, get4(header, 42) + shift);
        out.write(header, headerSize);
        out.write(directory + position + headerSize, headerLength(header) - headerSize);
    }
    unsigned char end[endRecordSize];
    memcpy(end, endRecord, endRecordSize);
    put4LE(end, 16, directoryOffset + shift);
    long commentLength = (long)strlen(comment);
    put2LE(end, 20, commentLength);
    out.write(end, endRecordSize);
    out.write(comment, commentLength);
}
