#include "pack/zip/zipMerge.h"

#include "pack/zip/mergeRules.h"
#include "pack/zip/zipArchive.h"
#include "pack/zip/zipFormat.h"
#include "unix/outputFile.h"
#include "util/stringArray.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <climits>
#include <cstring>
#include <zlib.h>

enum { skipItem, copyItem, joinItem };

static const char* tooLarge =
    "the merged archive needs ZIP64 records, which larkwin-pack cannot write";

static const char* getName(const unsigned char* header) {
    return (const char*)header + zipHeaderSize;
}

static int getNameLength(const unsigned char* header) {
    return getZip2(header, zipNameLengthField);
}

// FNV-1a.
static unsigned int hashName(const char* name, int length) {
    unsigned int hash = 2166136261u;
    for (int i = 0; i < length; i++) {
        hash = (hash ^ (unsigned char)name[i]) * 16777619u;
    }
    return hash;
}

zipMerge::zipMerge(zipArchive** archives, int count, stringArray* dropped)
    : archives(archives), count(count), total(0), out(nullptr), position(0), written(0),
      directory(nullptr), directoryLength(0) {
    for (int i = 0; i < count; i++) {
        total += archives[i]->getEntryCount();
    }
    int size = total > 0 ? total : 1;
    archiveOf = new int[size];
    entryOf = new int[size];
    action = new char[size];
    nextSame = new int[size];
    lastSame = new int[size];
    // The table never fills beyond half, so that probes stay short; its size
    // is fixed by the number of entries known up front.
    slotCount = 2 * size + 1;
    slots = new int[slotCount];
    plan(dropped);
}

zipMerge::~zipMerge() {
    delete[] directory;
    delete[] slots;
    delete[] lastSame;
    delete[] nextSame;
    delete[] action;
    delete[] entryOf;
    delete[] archiveOf;
}

const unsigned char* zipMerge::getHeader(int item) const {
    return archives[archiveOf[item]]->getHeader(entryOf[item]);
}

// The slot that holds the first item of that name, or the empty slot where
// it belongs.
int* zipMerge::findSlot(const char* name, int length) {
    unsigned int slot = hashName(name, length) % (unsigned int)slotCount;
    while (slots[slot] >= 0) {
        const unsigned char* header = getHeader(slots[slot]);
        if (getNameLength(header) == length && memcmp(getName(header), name, length) == 0) {
            break;
        }
        slot = (slot + 1) % (unsigned int)slotCount;
    }
    return &slots[slot];
}

static char* createDroppedLine(const unsigned char* header, zipArchive* archive,
                               zipArchive* first) {
    stringBuffer line;
    line.append("dropped duplicate '");
    line.append(getName(header), getNameLength(header));
    line.append("' of '");
    line.append(archive->getPath());
    line.append("' (kept the one of '");
    line.append(first->getPath());
    line.append("')");
    return line.createString();
}

// Decides what becomes of one item, knowing the items in front of it.
void zipMerge::planItem(int item, stringArray* dropped) {
    const unsigned char* header = getHeader(item);
    const char* name = getName(header);
    int length = getNameLength(header);
    mergeRule rule = getMergeRule(name, length, archiveOf[item] > 0);
    action[item] = skipItem;
    if (rule == dropEntry) {
        return;
    }
    int* slot = findSlot(name, length);
    if (*slot < 0) {
        *slot = item;
        action[item] = copyItem;
        return;
    }
    int first = *slot;
    if (rule == joinEntry) {
        nextSame[lastSame[first]] = item;
        lastSame[first] = item;
        action[first] = joinItem;
    } else if (length > 0 && name[length - 1] != '/') {
        // Directories repeat in every jar; only files are worth a word.
        zipArchive* archive = archives[archiveOf[item]];
        dropped->append(createDroppedLine(header, archive, archives[archiveOf[first]]));
    }
}

void zipMerge::plan(stringArray* dropped) {
    for (int i = 0; i < slotCount; i++) {
        slots[i] = -1;
    }
    int item = 0;
    for (int a = 0; a < count; a++) {
        for (int e = 0; e < archives[a]->getEntryCount(); e++, item++) {
            archiveOf[item] = a;
            entryOf[item] = e;
            nextSame[item] = -1;
            lastSame[item] = item;
            planItem(item, dropped);
        }
    }
}

void zipMerge::advance(long length) {
    position += length;
    if (position > zipLargestOffset) {
        throw createStringCopy(tooLarge);
    }
}

void zipMerge::writeHeader(const unsigned char* header, long localOffset) {
    if (written == zipMostEntries) {
        throw createStringCopy(tooLarge);
    }
    long length = getZipHeaderLength(header);
    memcpy(directory + directoryLength, header, length);
    putZip4(directory + directoryLength, zipLocalOffsetField, localOffset);
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

namespace {
// The joined service file as its pieces pass: its CRC, length and last byte,
// and where it goes (nowhere while it is only measured).
struct joinedText {
    outputFile* out;
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
// sizes and the memory fixed. Each file lists one provider per line; a last
// line without its line feed must not run into the next file's first line.
static void readJoined(zipArchive** archives, const int* archiveOf, const int* entryOf,
                       const int* nextSame, int item, joinedText* joined) {
    for (int same = item; same >= 0; same = nextSame[same]) {
        if (joined->length > 0 && joined->last != '\n') {
            const unsigned char lineFeed = '\n';
            takeJoined(joined, &lineFeed, 1);
        }
        archives[archiveOf[same]]->readContent(entryOf[same], takeJoined, joined);
    }
}

// The joined service file as one stored entry, named and dated as the
// first of its copies. It is read twice: once for its CRC and length, which
// its local header needs before it, and once to write it. What its copies
// state they hold must fit in what the archive can still take before any
// of it is inflated, and none inflates to more than it states.
void zipMerge::writeJoined(int item) {
    const unsigned char* first = getHeader(item);
    int nameLength = getNameLength(first);
    long stated = zipLocalHeaderSize + nameLength;
    for (int same = item; same >= 0 && stated <= zipLargestOffset; same = nextSame[same]) {
        stated += getZip4(getHeader(same), zipSizeField);
    }
    if (position + stated > zipLargestOffset) {
        throw createStringCopy(tooLarge);
    }
    joinedText measured = {nullptr, crc32(0, nullptr, 0), 0, -1};
    readJoined(archives, archiveOf, entryOf, nextSame, item, &measured);
    long length = measured.length;
    long crc = (long)measured.crc;
    unsigned char header[zipHeaderSize];
    memcpy(header, first, zipHeaderSize);
    putZip2(header, zipFlagsField,
            getZip2(first, zipFlagsField) & ~(zipFlagDescriptor | zipFlagEncrypted));
    putZip2(header, zipMethodField, zipStored);
    putZip4(header, zipCrcField, crc);
    putZip4(header, zipCompressedSizeField, length);
    putZip4(header, zipSizeField, length);
    putZip2(header, zipExtraLengthField, 0);
    putZip2(header, zipCommentLengthField, 0);
    unsigned char local[zipLocalHeaderSize];
    putZip4(local, 0, zipLocalHeaderSignature);
    memcpy(local + zipVersionNeededField - zipLocalShift, header + zipVersionNeededField,
           zipLocalHeaderSize - (zipVersionNeededField - zipLocalShift));
    long localOffset = position;
    advance(zipLocalHeaderSize + nameLength + length);
    out->write(local, zipLocalHeaderSize);
    out->write(getName(first), nameLength);
    joinedText written = {out, crc32(0, nullptr, 0), 0, -1};
    readJoined(archives, archiveOf, entryOf, nextSame, item, &written);
    if (written.length != length || written.crc != measured.crc) {
        throw createMessage("'%s' changed while it was read", archives[archiveOf[item]]->getPath());
    }
    stringBuffer withName;
    withName.append((const char*)header, zipHeaderSize);
    withName.append(getName(first), nameLength);
    writeHeader((const unsigned char*)withName.getData(), localOffset);
}

void zipMerge::write(outputFile& file, long offset, const char* comment) {
    out = &file;
    position = offset;
    written = 0;
    long capacity = 0;
    for (int i = 0; i < count; i++) {
        capacity += archives[i]->getDirectorySize();
    }
    delete[] directory;
    directory = new unsigned char[capacity > 0 ? capacity : 1];
    directoryLength = 0;
    for (int item = 0; item < total; item++) {
        if (action[item] == copyItem) {
            writeCopy(item);
        } else if (action[item] == joinItem) {
            writeJoined(item);
        }
    }
    long directoryOffset = position;
    advance(directoryLength);
    out->write(directory, directoryLength);
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
