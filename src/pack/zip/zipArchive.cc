#include "pack/zip/zipArchive.h"

#include "pack/zip/zipFormat.h"
#include "unix/files.h"
#include "unix/outputFile.h"
#include "util/strings.h"

#include <cstdio>
#include <cstring>
#include <zlib.h>

static const int zip64LocatorSize = 20;
static const int zip64LocatorSignature = 0x07064B50;

static unsigned char* readBytes(char* path, long offset, long length) {
    return (unsigned char*)createFileContent(path, offset, (int)length);
}

zipArchive::zipArchive(const char* archivePath, const zipLimits& archiveLimits)
    : path(createStringCopy(archivePath)), limits(archiveLimits), endPosition(-1),
      directoryOffset(0), directorySize(0), entryCount(0), endRecord(nullptr), directory(nullptr),
      headerPositions(nullptr), reader(nullptr) {
    try {
        readEndRecord();
        readDirectory();
    } catch (char*) {
        delete[] headerPositions;
        delete[] directory;
        delete[] endRecord;
        delete[] path;
        throw;
    }
}

zipArchive::~zipArchive() {
    if (reader != nullptr) {
        fclose(reader);
    }
    delete[] headerPositions;
    delete[] directory;
    delete[] endRecord;
    delete[] path;
}

void zipArchive::fail(const char* format) const {
    throw createMessage(format, path);
}

void zipArchive::readEndRecord() {
    long fileSize = getFileSize(path);
    if (fileSize < zipEndRecordSize) {
        fail("'%s' is not a zip archive");
    }
    // Parts of the archive are read with int lengths; so large an archive
    // is not bundled.
    if (fileSize > limits.largestInput) {
        fail("'%s' is too large to bundle");
    }
    endPosition = findZipEndRecord(path, fileSize);
    if (endPosition < 0) {
        fail("'%s' is not a zip archive");
    }
    endRecord = readBytes(path, endPosition, zipEndRecordSize);
    int zip64Locator = 0;
    if (endPosition >= zip64LocatorSize) {
        unsigned char* locator = readBytes(path, endPosition - zip64LocatorSize, 4);
        zip64Locator = get4LE(locator, 0) == zip64LocatorSignature;
        delete[] locator;
    }
    if (zip64Locator || getZip2(endRecord, 10) == 0xFFFF ||
        getZip4(endRecord, 12) == zipLargestOffset || getZip4(endRecord, 16) == zipLargestOffset) {
        fail("'%s' is a ZIP64 archive, which larkwin-pack cannot adjust");
    }
    // Archives split over several files are not single-file zip archives.
    if (getZip2(endRecord, 4) != 0 || getZip2(endRecord, 6) != 0 ||
        getZip2(endRecord, 8) != getZip2(endRecord, 10)) {
        fail("'%s' is not a zip archive");
    }
}

void zipArchive::readDirectory() {
    directorySize = getZip4(endRecord, 12);
    directoryOffset = getZip4(endRecord, 16);
    if (directoryOffset + directorySize > endPosition) {
        fail("'%s' is not a zip archive");
    }
    // Offsets that do not count bytes in front of the archive.
    if (directoryOffset + directorySize < endPosition) {
        fail("'%s' already has a launcher or other bytes in front of its archive");
    }
    directory = readBytes(path, directoryOffset, directorySize);
    entryCount = getZip2(endRecord, 10);
    headerPositions = new long[entryCount > 0 ? entryCount : 1];
    long firstLocalHeader = zipLargestOffset;
    long position = 0;
    for (int entry = 0; entry < entryCount; entry++) {
        if (position + zipHeaderSize > directorySize ||
            get4LE(directory, position) != zipHeaderSignature) {
            fail("'%s' is not a zip archive");
        }
        long localHeader = getZip4(directory, position + zipLocalOffsetField);
        if (localHeader == zipLargestOffset) {
            fail("'%s' is a ZIP64 archive, which larkwin-pack cannot adjust");
        }
        firstLocalHeader = localHeader < firstLocalHeader ? localHeader : firstLocalHeader;
        headerPositions[entry] = position;
        position += getZipHeaderLength(directory + position);
    }
    if (position != directorySize) {
        fail("'%s' is not a zip archive");
    }
    // Offsets that already count bytes in front of the archive.
    if (position > 0 && firstLocalHeader != 0) {
        fail("'%s' already has a launcher or other bytes in front of its archive");
    }
}

FILE* zipArchive::getReader() const {
    if (reader == nullptr) {
        reader = fopen(path, "rb");
    }
    if (reader == nullptr) {
        fail("Unable to open '%s'");
    }
    return reader;
}

// Exactly length bytes of the file from offset on, as a new array.
unsigned char* zipArchive::createRange(long offset, long length) const {
    FILE* file = getReader();
    unsigned char* bytes = new unsigned char[length > 0 ? length : 1];
    int complete =
        fseek(file, offset, SEEK_SET) == 0 && fread(bytes, 1, length, file) == (size_t)length;
    if (!complete) {
        delete[] bytes;
        fail("Unable to read '%s'");
    }
    return bytes;
}

// Where the entry's data begins: after its local header, whose name and extra
// field may differ in length from those of the central directory.
long zipArchive::getDataStart(int entry) const {
    long start = getZip4(getHeader(entry), zipLocalOffsetField);
    if (start + zipLocalHeaderSize > directoryOffset) {
        fail("'%s' is not a zip archive");
    }
    unsigned char* local = createRange(start, zipLocalHeaderSize);
    int valid = get4LE(local, 0) == zipLocalHeaderSignature;
    long dataStart = start + zipLocalHeaderSize +
                     getZip2(local, zipNameLengthField - zipLocalShift) +
                     getZip2(local, zipExtraLengthField - zipLocalShift);
    delete[] local;
    if (!valid) {
        fail("'%s' is not a zip archive");
    }
    return dataStart;
}

void zipArchive::locateEntry(int entry, long* start, long* length) const {
    const unsigned char* header = getHeader(entry);
    long end = getDataStart(entry) + getZip4(header, zipCompressedSizeField);
    if (getZip2(header, zipFlagsField) & zipFlagDescriptor) {
        // The descriptor's signature is optional: it is there when the four
        // bytes after it are not already the CRC.
        long descriptor = end + 12 <= directoryOffset ? 12 : 0;
        if (end + 16 <= directoryOffset) {
            unsigned char* bytes = createRange(end, 8);
            int withSignature = get4LE(bytes, 0) == zipDescriptorSignature &&
                                getZip4(bytes, 4) == getZip4(header, zipCrcField);
            descriptor = withSignature ? 16 : 12;
            delete[] bytes;
        }
        if (descriptor == 0) {
            fail("'%s' is not a zip archive");
        }
        end += descriptor;
    }
    if (end > directoryOffset) {
        fail("'%s' is not a zip archive");
    }
    *start = getZip4(header, zipLocalOffsetField);
    *length = end - *start;
}

void zipArchive::copyRange(outputFile& out, long offset, long length) const {
    FILE* file = getReader();
    if (fseek(file, offset, SEEK_SET) != 0) {
        fail("Unable to read '%s'");
    }
    unsigned char chunk[65536];
    for (long remaining = length; remaining > 0;) {
        size_t want = remaining < (long)sizeof chunk ? remaining : sizeof chunk;
        if (fread(chunk, 1, want, file) != want) {
            fail("Unable to read '%s'");
        }
        out.write(chunk, (long)want);
        remaining -= (long)want;
    }
}

static int inflateAll(unsigned char* data, long length, unsigned char* content, long size) {
    z_stream stream;
    memset(&stream, 0, sizeof stream);
    // Negative window bits: raw deflate data, as a zip entry holds it.
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) {
        return 0;
    }
    stream.next_in = data;
    stream.avail_in = (uInt)length;
    // Room for one byte more than expected shows data that runs longer.
    stream.next_out = content;
    stream.avail_out = (uInt)size + 1;
    int status = inflate(&stream, Z_FINISH);
    int complete = status == Z_STREAM_END && stream.total_out == (uLong)size;
    inflateEnd(&stream);
    return complete;
}

unsigned char* zipArchive::createContent(int entry, long* size) const {
    const unsigned char* header = getHeader(entry);
    long length = getZip4(header, zipCompressedSizeField);
    *size = getZip4(header, zipSizeField);
    int method = getZip2(header, zipMethodField);
    if ((getZip2(header, zipFlagsField) & zipFlagEncrypted) ||
        (method != zipStored && method != zipDeflated) ||
        (method == zipStored && length != *size)) {
        fail("'%s' holds a damaged entry");
    }
    // Joined contents are held in memory, with int lengths.
    if (*size > limits.largestContent) {
        fail("'%s' is too large to bundle");
    }
    long dataStart = getDataStart(entry);
    if (dataStart + length > directoryOffset) {
        fail("'%s' is not a zip archive");
    }
    unsigned char* data = createRange(dataStart, length);
    if (method == zipStored) {
        if (crc32(0, data, (uInt)length) != (uLong)getZip4(header, zipCrcField)) {
            delete[] data;
            fail("'%s' holds a damaged entry");
        }
        return data;
    }
    unsigned char* content = new unsigned char[*size + 1];
    int intact = inflateAll(data, length, content, *size) &&
                 crc32(0, content, (uInt)*size) == (uLong)getZip4(header, zipCrcField);
    delete[] data;
    if (!intact) {
        delete[] content;
        fail("'%s' holds a damaged entry");
    }
    return content;
}

namespace {
// One entry's data, read a chunk at a time and inflated when deflated.
struct contentStream {
    z_stream stream;
    int deflated;
    int ended;
    int damaged;
    long stated;
    long produced;
    uLong crc;
    unsigned char output[65536];
};
} // namespace

static void passOn(contentStream& content, const unsigned char* bytes, long length,
                   zipArchive::contentConsumer consume, void* context) {
    if (length > content.stated - content.produced) {
        content.damaged = 1;
        return;
    }
    content.produced += length;
    content.crc = crc32(content.crc, bytes, (uInt)length);
    if (length > 0) {
        consume(context, bytes, length);
    }
}

// Inflates one chunk of input; output goes on as long as it fills the window.
static void inflateChunk(contentStream& content, unsigned char* input, long length,
                         zipArchive::contentConsumer consume, void* context) {
    content.stream.next_in = input;
    content.stream.avail_in = (uInt)length;
    do {
        content.stream.next_out = content.output;
        content.stream.avail_out = sizeof content.output;
        int status = inflate(&content.stream, Z_NO_FLUSH);
        content.ended = status == Z_STREAM_END;
        content.damaged = status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR;
        long got = (long)(sizeof content.output - content.stream.avail_out);
        passOn(content, content.output, got, consume, context);
    } while (content.stream.avail_out == 0 && !content.ended && !content.damaged);
}

// length bytes of data from where file stands, read in chunks.
static void readChunks(const zipArchive& archive, FILE* file, long length, contentStream& content,
                       zipArchive::contentConsumer consume, void* context) {
    unsigned char input[65536];
    for (long remaining = length;
         remaining > 0 && !content.damaged && !(content.deflated && content.ended);) {
        size_t want = remaining < (long)sizeof input ? remaining : sizeof input;
        if (fread(input, 1, want, file) != want) {
            archive.fail("Unable to read '%s'");
        }
        remaining -= (long)want;
        if (content.deflated) {
            inflateChunk(content, input, (long)want, consume, context);
        } else {
            passOn(content, input, (long)want, consume, context);
        }
    }
}

void zipArchive::readContent(int entry, contentConsumer consume, void* context) const {
    const unsigned char* header = getHeader(entry);
    long length = getZip4(header, zipCompressedSizeField);
    int method = getZip2(header, zipMethodField);
    contentStream* content = new contentStream();
    content->deflated = method == zipDeflated;
    content->ended = !content->deflated;
    content->stated = getZip4(header, zipSizeField);
    content->crc = crc32(0, nullptr, 0);
    int usable = !(getZip2(header, zipFlagsField) & zipFlagEncrypted) &&
                 (method == zipStored ? length == content->stated : content->deflated) &&
                 (!content->deflated || inflateInit2(&content->stream, -MAX_WBITS) == Z_OK);
    if (!usable) {
        delete content;
        fail("'%s' holds a damaged entry");
    }
    try {
        long dataStart = getDataStart(entry);
        if (dataStart + length > directoryOffset) {
            fail("'%s' is not a zip archive");
        }
        FILE* file = getReader();
        if (fseek(file, dataStart, SEEK_SET) != 0) {
            fail("Unable to read '%s'");
        }
        readChunks(*this, file, length, *content, consume, context);
    } catch (...) {
        if (content->deflated) {
            inflateEnd(&content->stream);
        }
        delete content;
        throw;
    }
    if (content->deflated) {
        inflateEnd(&content->stream);
    }
    int intact = content->ended && !content->damaged && content->produced == content->stated &&
                 content->crc == (uLong)getZip4(header, zipCrcField);
    delete content;
    if (!intact) {
        fail("'%s' holds a damaged entry");
    }
}

void zipArchive::writeShifted(outputFile& out, long shift, const char* comment) const {
    if (directoryOffset + shift > limits.largestOffset) {
        fail("'%s' is too large to bundle");
    }
    out.appendFileRange(path, 0, directoryOffset);
    for (int entry = 0; entry < entryCount; entry++) {
        const unsigned char* source = getHeader(entry);
        unsigned char header[zipHeaderSize];
        memcpy(header, source, zipHeaderSize);
        putZip4(header, zipLocalOffsetField, getZip4(header, zipLocalOffsetField) + shift);
        out.write(header, zipHeaderSize);
        out.write(source + zipHeaderSize, getZipHeaderLength(header) - zipHeaderSize);
    }
    unsigned char end[zipEndRecordSize];
    memcpy(end, endRecord, zipEndRecordSize);
    putZip4(end, 16, directoryOffset + shift);
    long commentLength = (long)strlen(comment);
    putZip2(end, 20, commentLength);
    out.write(end, zipEndRecordSize);
    out.write(comment, commentLength);
}
