#include "pack/base/reasonedFiles.h"
#include "pack/zip/mergeMessages.h"
#include "pack/zip/registryJoin.h"
#include "pack/zip/zipArchive.h"
#include "pack/zip/zipMerge.h"
#include "pack/zip/zipMergeItems.h"
#include "util/owned.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cstring>
#include <zlib.h>

void zipMerge::advance(long length) {
    position += length;
    if (position > limits.largestOffset) {
        throw createStringCopy(mergeTooLarge);
    }
}

void zipMerge::writeHeader(const unsigned char* header, long localOffset) {
    if (written == limits.mostEntries) {
        throw createStringCopy(mergeTooLarge);
    }
    long length = getZipHeaderLength(header);
    memcpy(directory.get() + directoryLength, header, length);
    putZip4(directory.get() + directoryLength, zipLocalOffsetField, localOffset);
    directoryLength += length;
    written++;
}

void zipMerge::writeCopy(int item) {
    zipArchive* archive = archives[archiveOf[item]];
    long start = 0;
    long length = 0;
    archive->locateEntry(entryOf[item], &start, &length);
    long localOffset = position;
    advance(length);
    archive->copyRange(*out, start, length);
    writeHeader(getHeader(item), localOffset);
}

// Writes the local header and the name of one stored entry of that CRC and
// length, dated and flagged as the template header (or 1980-01-01 when there
// is none), and records its central header; the caller writes the content.
void zipMerge::beginStored(const unsigned char* template_, const char* name, int nameLength,
                           long crc, long length) {
    unsigned char header[zipHeaderSize];
    memset(header, 0, sizeof header);
    if (template_ != nullptr) {
        memcpy(header, template_, zipHeaderSize);
    } else {
        putZip4(header, 0, zipHeaderSignature);
        putZip2(header, 4, 20);
        putZip2(header, zipVersionNeededField, 20);
        putZip2(header, 14, 0x21);
    }
    putZip2(header, zipFlagsField,
            getZip2(header, zipFlagsField) & ~(zipFlagDescriptor | zipFlagEncrypted));
    putZip2(header, zipMethodField, zipStored);
    putZip4(header, zipCrcField, crc);
    putZip4(header, zipCompressedSizeField, length);
    putZip4(header, zipSizeField, length);
    putZip2(header, zipNameLengthField, nameLength);
    putZip2(header, zipExtraLengthField, 0);
    putZip2(header, zipCommentLengthField, 0);
    unsigned char local[zipLocalHeaderSize];
    putZip4(local, 0, zipLocalHeaderSignature);
    memcpy(local + zipVersionNeededField - zipLocalShift, header + zipVersionNeededField,
           zipLocalHeaderSize - (zipVersionNeededField - zipLocalShift));
    long localOffset = position;
    advance(zipLocalHeaderSize + nameLength + length);
    out->write(local, zipLocalHeaderSize);
    out->write(name, nameLength);
    stringBuffer withName;
    withName.append((const char*)header, zipHeaderSize);
    withName.append(name, nameLength);
    writeHeader((const unsigned char*)withName.getData(), localOffset);
}

void zipMerge::writeStored(const unsigned char* template_, const char* name, int nameLength,
                           const char* content, long length) {
    long crc = (long)crc32(0, (const unsigned char*)content, (uInt)length);
    beginStored(template_, name, nameLength, crc, length);
    out->write(content, length);
}

// What the copies of item state they hold, with a line feed between them,
// must fit in what the archive can still take, before any of it is inflated.
void zipMerge::checkStatedSizes(int item) const {
    const unsigned char* first = getHeader(item);
    long stated = zipLocalHeaderSize + getEntryNameLength(first);
    for (int same = item; same >= 0 && stated <= limits.largestOffset; same = nextSame[same]) {
        stated += getZip4(getHeader(same), zipSizeField) + 1;
    }
    if (position + stated > limits.largestOffset) {
        throw createStringCopy(mergeTooLarge);
    }
}

namespace {
// The joined list as its pieces pass: its CRC, length and last byte, and
// where it goes (nowhere while it is only measured).
struct joinedText {
    packOutputFile* out;
    uLong crc;
    long length;
    int last;
};
} // namespace

static void takeJoined(void* context, const unsigned char* bytes, long length) {
    joinedText* joined = (joinedText*)context;
    joined->crc = crc32(joined->crc, bytes, (uInt)length);
    joined->length += length;
    joined->last = bytes[length - 1];
    if (joined->out != nullptr) {
        joined->out->write(bytes, length);
    }
}

// Reads the copies one after another, so that the time is linear in their
// sizes and the memory fixed. Each file lists one entry per line; a last
// line without its line feed must not run into the next file's first line.
static void readJoined(zipArchive** archives, const std::vector<int>& archiveOf,
                       const std::vector<int>& entryOf, const std::vector<int>& nextSame, int item,
                       joinedText* joined) {
    for (int same = item; same >= 0; same = nextSame[same]) {
        if (joined->length > 0 && joined->last != '\n') {
            const unsigned char lineFeed = '\n';
            takeJoined(joined, &lineFeed, 1);
        }
        archives[archiveOf[same]]->readContent(entryOf[same], takeJoined, joined);
    }
}

// A list of lines (ServiceLoader's files) as one stored entry, named and
// dated as the first of its copies. It is read twice: once for its CRC and
// length, which its local header needs before it, and once to write it.
void zipMerge::writeJoinedLines(int item) {
    const unsigned char* first = getHeader(item);
    joinedText measured = {nullptr, crc32(0, nullptr, 0), 0, -1};
    readJoined(archives, archiveOf, entryOf, nextSame, item, &measured);
    beginStored(first, getEntryName(first), getEntryNameLength(first), (long)measured.crc,
                measured.length);
    joinedText written = {out, crc32(0, nullptr, 0), 0, -1};
    readJoined(archives, archiveOf, entryOf, nextSame, item, &written);
    if (written.length != measured.length || written.crc != measured.crc) {
        throw createMessage("'%s' changed while it was read", archives[archiveOf[item]]->getPath());
    }
}

// The other registries are joined in memory, by what they hold.
void zipMerge::writeJoined(int item) {
    checkStatedSizes(item);
    if (ruleOf[item] == joinEntry) {
        writeJoinedLines(item);
        return;
    }
    std::vector<ownedArray<unsigned char>> owners;
    std::vector<const char*> contents;
    std::vector<long> lengths;
    long sum = 0;
    for (int same = item; same >= 0; same = nextSame[same]) {
        long length = 0;
        owners.emplace_back(archives[archiveOf[same]]->createContent(entryOf[same], &length));
        contents.push_back((const char*)owners.back().get());
        lengths.push_back(length);
        sum += length + 1;
        if (sum > limits.largestContent) {
            throw createStringCopy(mergeTooLarge);
        }
    }
    stringBuffer joined;
    int failed = joinRegistry((mergeRule)ruleOf[item], contents.data(), lengths.data(),
                              (int)contents.size(), joined);
    const unsigned char* first = getHeader(item);
    if (failed >= 0) {
        int same = item;
        for (int i = 0; i < failed; i++) {
            same = nextSame[same];
        }
        throw createCannotMerge(getEntryName(first), getEntryNameLength(first),
                                archives[archiveOf[same]],
                                "its last line continues, and would run into the next jar's copy");
    }
    writeStored(first, getEntryName(first), getEntryNameLength(first), joined.getData(),
                joined.getLength());
}

void zipMerge::writeRenamed(int item) {
    long size = 0;
    ownedArray<unsigned char> content(
        archives[archiveOf[item]]->createContent(entryOf[item], &size));
    int length = 0;
    const char* name = getItemName(item, &length);
    writeStored(getHeader(item), name, length, (const char*)content.get(), size);
}

void zipMerge::writeEntries() {
    if (manifest != nullptr && manifestItem < 0) {
        writeStored(nullptr, mergeManifestName, (int)strlen(mergeManifestName), manifest.get(),
                    manifestLength);
    }
    for (int item = 0; item < total; item++) {
        if (action[item] == copyItem) {
            writeCopy(item);
        } else if (action[item] == joinItem) {
            writeJoined(item);
        } else if (action[item] == renameItem) {
            writeRenamed(item);
        } else if (action[item] == manifestEntryItem) {
            const unsigned char* header = getHeader(item);
            writeStored(header, getEntryName(header), getEntryNameLength(header), manifest.get(),
                        manifestLength);
        }
    }
}

void zipMerge::write(packOutputFile& file, long offset, const char* comment) {
    out = &file;
    position = offset;
    written = 0;
    long capacity = zipHeaderSize + (long)strlen(mergeManifestName);
    for (int i = 0; i < count; i++) {
        capacity += archives[i]->getDirectorySize();
    }
    for (const std::string& name : newNames) {
        capacity += (long)name.size();
    }
    directory.reset(new unsigned char[capacity]);
    directoryLength = 0;
    writeEntries();
    long directoryOffset = position;
    advance(directoryLength);
    out->write(directory.get(), directoryLength);
    unsigned char end[zipEndRecordSize];
    memset(end, 0, sizeof end);
    putZip4(end, 0, 0x06054B50);
    putZip2(end, 8, written);
    putZip2(end, 10, written);
    putZip4(end, 12, directoryLength);
    putZip4(end, 16, directoryOffset);
    long commentLength = (long)strlen(comment);
    putZip2(end, 20, commentLength);
    out->write(end, zipEndRecordSize);
    out->write(comment, commentLength);
}
