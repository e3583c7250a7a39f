#include "pack/zip/zipArchive.h"

#include "pack/base/failure.h"
#include "pack/base/reasonedFiles.h"
#include "pack/zip/zipFormat.h"
#include "unix/files.h"
#include "util/owned.h"
#include "util/strings.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <zlib.h>

static const int zip64LocatorSize = 20;
static const int zip64LocatorSignature = 0x07064B50;

static ownedArray<unsigned char> readBytes(const std::string& path, long offset, long length) {
    // The file functions take a path they may not change, typed as char*.
    std::string name = path;
    return ownedArray<unsigned char>(
        (unsigned char*)packCreateFileContent(&name[0], offset, (int)length));
}

zipArchive::zipArchive(const char* archivePath, const zipLimits& archiveLimits)
    : path(archivePath), limits(archiveLimits), endPosition(-1), directoryOffset(0),
      directorySize(0), entryCount(0) {
    readEndRecord();
    readDirectory();
}

void zipArchive::readEndRecord() {
    std::string name = path;
    long fileSize = packGetFileSize(&name[0]);
    if (fileSize < zipEndRecordSize) {
        fail("'" + path + "' is not a zip archive");
    }
    // Parts of the archive are read with int lengths; so large an archive
    // is not bundled.
    if (fileSize > limits.largestInput) {
        fail("'" + path + "' is too large to bundle");
    }
    endPosition = findZipEndRecord(&name[0], fileSize);
    if (endPosition < 0) {
        fail("'" + path + "' is not a zip archive");
    }
    endRecord = readBytes(path, endPosition, zipEndRecordSize);
    int zip64Locator = 0;
    if (endPosition >= zip64LocatorSize) {
        zip64Locator = get4LE(readBytes(path, endPosition - zip64LocatorSize, 4).get(), 0) ==
                       zip64LocatorSignature;
    }
    if (zip64Locator || getZip2(endRecord.get(), 10) == 0xFFFF ||
        getZip4(endRecord.get(), 12) == zipLargestOffset ||
        getZip4(endRecord.get(), 16) == zipLargestOffset) {
        fail("'" + path + "' is a ZIP64 archive, which larkwin-pack cannot adjust");
    }
    // Archives split over several files are not single-file zip archives.
    if (getZip2(endRecord.get(), 4) != 0 || getZip2(endRecord.get(), 6) != 0 ||
        getZip2(endRecord.get(), 8) != getZip2(endRecord.get(), 10)) {
        fail("'" + path + "' is not a zip archive");
    }
}

void zipArchive::readDirectory() {
    directorySize = getZip4(endRecord.get(), 12);
    directoryOffset = getZip4(endRecord.get(), 16);
    if (directoryOffset + directorySize > endPosition) {
        fail("'" + path + "' is not a zip archive");
    }
    // Offsets that do not count bytes in front of the archive.
    if (directoryOffset + directorySize < endPosition) {
        fail("'" + path + "' already has a launcher or other bytes in front of its archive");
    }
    directory = readBytes(path, directoryOffset, directorySize);
    entryCount = getZip2(endRecord.get(), 10);
    headerPositions.resize(entryCount);
    long firstLocalHeader = zipLargestOffset;
    long position = 0;
    for (int entry = 0; entry < entryCount; entry++) {
        if (position + zipHeaderSize > directorySize ||
            get4LE(directory.get(), position) != zipHeaderSignature) {
            fail("'" + path + "' is not a zip archive");
        }
        long localHeader = getZip4(directory.get(), position + zipLocalOffsetField);
        if (localHeader == zipLargestOffset) {
            fail("'" + path + "' is a ZIP64 archive, which larkwin-pack cannot adjust");
        }
        firstLocalHeader = localHeader < firstLocalHeader ? localHeader : firstLocalHeader;
        headerPositions[entry] = position;
        position += getZipHeaderLength(directory.get() + position);
    }
    if (position != directorySize) {
        fail("'" + path + "' is not a zip archive");
    }
    // Offsets that already count bytes in front of the archive.
    if (position > 0 && firstLocalHeader != 0) {
        fail("'" + path + "' already has a launcher or other bytes in front of its archive");
    }
}

FILE* zipArchive::getReader() const {
    if (reader == nullptr) {
        reader.reset(fopen(path.c_str(), "rb"));
    }
    if (reader == nullptr) {
        failWithReason("Unable to open", path);
    }
    return reader.get();
}

// A read that ends early either failed, with errno set, or met the file's
// end: the file changed since its directory was read.
static void checkRead(const zipArchive& archive, FILE* file, size_t got, size_t wanted) {
    if (got == wanted) {
        return;
    }
    if (ferror(file)) {
        failWithReason("Unable to read", archive.getPath());
    }
    fail("Unable to read '" + std::string(archive.getPath()) + "': it ends early");
}

// Exactly length bytes of the file from offset on.
std::vector<unsigned char> zipArchive::readRange(long offset, long length) const {
    FILE* file = getReader();
    std::vector<unsigned char> bytes(length > 0 ? length : 1);
    if (fseek(file, offset, SEEK_SET) != 0) {
        failWithReason("Unable to read", path);
    }
    checkRead(*this, file, length > 0 ? fread(bytes.data(), 1, length, file) : 0, (size_t)length);
    return bytes;
}

// Where the entry's data begins: after its local header, whose name and extra
// field may differ in length from those of the central directory.
long zipArchive::getDataStart(int entry) const {
    long start = getZip4(getHeader(entry), zipLocalOffsetField);
    if (start + zipLocalHeaderSize > directoryOffset) {
        fail("'" + path + "' is not a zip archive");
    }
    std::vector<unsigned char> bytes = readRange(start, zipLocalHeaderSize);
    unsigned char* local = bytes.data();
    int valid = get4LE(local, 0) == zipLocalHeaderSignature;
    long dataStart = start + zipLocalHeaderSize +
                     getZip2(local, zipNameLengthField - zipLocalShift) +
                     getZip2(local, zipExtraLengthField - zipLocalShift);
    if (!valid) {
        fail("'" + path + "' is not a zip archive");
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
            std::vector<unsigned char> bytes = readRange(end, 8);
            int withSignature = get4LE(bytes.data(), 0) == zipDescriptorSignature &&
                                getZip4(bytes.data(), 4) == getZip4(header, zipCrcField);
            descriptor = withSignature ? 16 : 12;
        }
        if (descriptor == 0) {
            fail("'" + path + "' is not a zip archive");
        }
        end += descriptor;
    }
    if (end > directoryOffset) {
        fail("'" + path + "' is not a zip archive");
    }
    *start = getZip4(header, zipLocalOffsetField);
    *length = end - *start;
}

void zipArchive::copyRange(packOutputFile& out, long offset, long length) const {
    FILE* file = getReader();
    if (fseek(file, offset, SEEK_SET) != 0) {
        failWithReason("Unable to read", path);
    }
    unsigned char chunk[65536];
    for (long remaining = length; remaining > 0;) {
        size_t want = remaining < (long)sizeof chunk ? remaining : sizeof chunk;
        checkRead(*this, file, fread(chunk, 1, want, file), want);
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
        fail("'" + path + "' holds a damaged entry");
    }
    // Joined contents are held in memory, with int lengths.
    if (*size > limits.largestContent) {
        fail("'" + path + "' is too large to bundle");
    }
    long dataStart = getDataStart(entry);
    if (dataStart + length > directoryOffset) {
        fail("'" + path + "' is not a zip archive");
    }
    std::vector<unsigned char> data = readRange(dataStart, length);
    ownedArray<unsigned char> content(new unsigned char[*size + 1]);
    int intact = method == zipStored ? (memcpy(content.get(), data.data(), length), 1)
                                     : inflateAll(data.data(), length, content.get(), *size);
    if (!intact || crc32(0, content.get(), (uInt)*size) != (uLong)getZip4(header, zipCrcField)) {
        fail("'" + path + "' holds a damaged entry");
    }
    return content.release();
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
    // Set once inflateInit2 succeeded: the stream then holds zlib's memory.
    int inflating;
    unsigned char output[65536];

    ~contentStream() {
        if (inflating) {
            inflateEnd(&stream);
        }
    }
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
        checkRead(archive, file, fread(input, 1, want, file), want);
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
    std::unique_ptr<contentStream> content(new contentStream());
    content->deflated = method == zipDeflated;
    content->ended = !content->deflated;
    content->stated = getZip4(header, zipSizeField);
    content->crc = crc32(0, nullptr, 0);
    content->inflating = content->deflated && inflateInit2(&content->stream, -MAX_WBITS) == Z_OK;
    int usable = !(getZip2(header, zipFlagsField) & zipFlagEncrypted) &&
                 (method == zipStored ? length == content->stated : content->inflating);
    if (!usable) {
        fail("'" + path + "' holds a damaged entry");
    }
    long dataStart = getDataStart(entry);
    if (dataStart + length > directoryOffset) {
        fail("'" + path + "' is not a zip archive");
    }
    FILE* file = getReader();
    if (fseek(file, dataStart, SEEK_SET) != 0) {
        failWithReason("Unable to read", path);
    }
    readChunks(*this, file, length, *content, consume, context);
    int intact = content->ended && !content->damaged && content->produced == content->stated &&
                 content->crc == (uLong)getZip4(header, zipCrcField);
    if (!intact) {
        fail("'" + path + "' holds a damaged entry");
    }
}

void zipArchive::writeShifted(packOutputFile& out, long shift, const char* comment) const {
    if (directoryOffset + shift > limits.largestOffset) {
        fail("'" + path + "' is too large to bundle");
    }
    out.appendFileRange(path.c_str(), 0, directoryOffset);
    for (int entry = 0; entry < entryCount; entry++) {
        const unsigned char* source = getHeader(entry);
        unsigned char header[zipHeaderSize];
        memcpy(header, source, zipHeaderSize);
        putZip4(header, zipLocalOffsetField, getZip4(header, zipLocalOffsetField) + shift);
        out.write(header, zipHeaderSize);
        out.write(source + zipHeaderSize, getZipHeaderLength(header) - zipHeaderSize);
    }
    unsigned char end[zipEndRecordSize];
    memcpy(end, endRecord.get(), zipEndRecordSize);
    putZip4(end, 16, directoryOffset + shift);
    long commentLength = (long)strlen(comment);
    putZip2(end, 20, commentLength);
    out.write(end, zipEndRecordSize);
    out.write(comment, commentLength);
}
