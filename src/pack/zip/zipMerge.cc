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

static void appendContent(stringBuffer& joined, zipArchive* archive, int entry) {
    long size = 0;
    unsigned char* content = archive->createContent(entry, &size);
    if (joined.getLength() + size + 1 > INT_MAX) {
        delete[] content;
        throw createStringCopy(tooLarge);
    }
    // Each file lists one provider per line; a last line without its line
    // feed must not run into the next file's first line.
    if (joined.getLength() > 0 && joined.getData()[joined.getLength() - 1] != '\n') {
        joined.append('\n');
    }
    joined.append((const char*)content, (int)size);
    delete[] content;
}

// The joined service file as one stored entry, named and dated as the
// first of its copies.
void zipMerge::writeJoined(int item) {
    stringBuffer joined;
    for (int same = item; same >= 0; same = nextSame[same]) {
        appendContent(joined, archives[archiveOf[same]], entryOf[same]);
    }
    const unsigned char* first = getHeader(item);
    unsigned char header[zipHeaderSize];
    memcpy(header, first, zipHeaderSize);
    long length = joined.getLength();
    long crc = (long)crc32(0, (const unsigned char*)joined.getData(), (uInt)length);
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
    int nameLength = getNameLength(first);
    long localOffset = position;
    advance(zipLocalHeaderSize + nameLength + length);
    out->write(local, zipLocalHeaderSize);
    out->write(getName(first), nameLength);
    out->write(joined.getData(), length);
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
