#include "pack/zip/zipMerge.h"

#include "pack/zip/jarManifest.h"
#include "pack/zip/mergeRules.h"
#include "pack/zip/printableName.h"
#include "pack/zip/registryJoin.h"
#include "pack/zip/zipArchive.h"
#include "pack/zip/zipFormat.h"
#include "unix/outputFile.h"
#include "util/stringArray.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cstring>
#include <zlib.h>

enum { skipItem, copyItem, joinItem, renameItem, manifestEntryItem };

static const char* tooLarge =
    "the merged archive needs ZIP64 records, which larkwin-pack cannot write";
static const char* manifestName = "META-INF/MANIFEST.MF";
static const char* versionsDirectory = "META-INF/versions/";

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

zipMerge::zipMerge(zipArchive** archives, int count, stringArray* dropped, stringArray* notes,
                   const zipLimits& mergeLimits)
    : archives(archives), count(count), limits(mergeLimits), total(0), newNames(new stringArray),
      manifest(nullptr), manifestLength(0), manifestItem(-1), multiRelease(0), out(nullptr),
      position(0), written(0), directory(nullptr), directoryLength(0) {
    for (int i = 0; i < count; i++) {
        total += archives[i]->getEntryCount();
    }
    int size = total > 0 ? total : 1;
    archiveOf = new int[size];
    entryOf = new int[size];
    action = new char[size];
    ruleOf = new char[size];
    nextSame = new int[size];
    lastSame = new int[size];
    renamedAs = new int[size];
    archiveMultiRelease = new int[count > 0 ? count : 1];
    // Renamed entries take slots too; the table never fills beyond half, so
    // that probes stay short.
    slotCount = 4 * size + 1;
    slots = new int[slotCount];
    try {
        readManifests();
        plan(dropped, notes);
    } catch (char*) {
        release();
        throw;
    }
}

zipMerge::~zipMerge() {
    release();
}

void zipMerge::release() {
    delete[] directory;
    delete[] manifest;
    delete[] slots;
    delete[] archiveMultiRelease;
    delete[] renamedAs;
    delete newNames;
    delete[] lastSame;
    delete[] nextSame;
    delete[] ruleOf;
    delete[] action;
    delete[] entryOf;
    delete[] archiveOf;
}

const unsigned char* zipMerge::getHeader(int item) const {
    return archives[archiveOf[item]]->getHeader(entryOf[item]);
}

const char* zipMerge::getItemName(int item, int* length) const {
    if (renamedAs[item] >= 0) {
        const char* name = (*newNames)[renamedAs[item]];
        *length = (int)strlen(name);
        return name;
    }
    *length = getNameLength(getHeader(item));
    return getName(getHeader(item));
}

// The slot that holds the first item of that name, or the empty slot where
// it belongs.
int* zipMerge::findSlot(const char* name, int length) {
    unsigned int slot = hashName(name, length) % (unsigned int)slotCount;
    while (slots[slot] >= 0) {
        int slotLength = 0;
        const char* slotName = getItemName(slots[slot], &slotLength);
        if (slotLength == length && memcmp(slotName, name, length) == 0) {
            break;
        }
        slot = (slot + 1) % (unsigned int)slotCount;
    }
    return &slots[slot];
}

static void appendQuoted(stringBuffer& line, const char* name, int length) {
    line.append('\'');
    appendPrintable(line, name, length);
    line.append('\'');
}

static void appendQuoted(stringBuffer& line, const char* text) {
    appendQuoted(line, text, (int)strlen(text));
}

// "cannot merge 'NAME' of 'JAR': " followed by the reason.
static char* createCannotMerge(const char* name, int length, const zipArchive* archive,
                               const char* reason) {
    stringBuffer message;
    message.append("cannot merge ");
    appendQuoted(message, name, length);
    message.append(" of ");
    appendQuoted(message, archive->getPath());
    message.append(": ");
    message.append(reason);
    return message.createString();
}

void zipMerge::readManifests() {
    for (int a = 0; a < count; a++) {
        long length = 0;
        int entry = -1;
        char* text = createManifestText(*archives[a], &length, &entry);
        archiveMultiRelease[a] = text != nullptr && isMultiRelease(text, length);
        multiRelease = multiRelease || archiveMultiRelease[a];
        if (a == 0) {
            manifest = text;
            manifestLength = length;
            // The first archive's items come first: its entry is its item.
            manifestItem = entry;
        } else {
            delete[] text;
        }
    }
    editManifest();
}

// The first archive's manifest as the merge writes it, or null when it is
// copied as it is.
void zipMerge::editManifest() {
    char* classPath =
        manifest != nullptr ? createMainAttribute(manifest, manifestLength, "Class-Path") : nullptr;
    int addMultiRelease = multiRelease && !archiveMultiRelease[0];
    if (manifest == nullptr && addMultiRelease) {
        manifest = createStringCopy("Manifest-Version: 1.0\r\nMulti-Release: true\r\n\r\n");
        manifestLength = (long)strlen(manifest);
    } else if (manifest != nullptr && (classPath != nullptr || addMultiRelease)) {
        long length = 0;
        char* edited =
            createEditedManifest(manifest, manifestLength, classPath ? "Class-Path" : nullptr,
                                 addMultiRelease ? "Multi-Release: true" : nullptr, &length);
        delete[] manifest;
        manifest = edited;
        manifestLength = length;
    } else {
        delete[] manifest;
        manifest = nullptr;
    }
    delete[] classPath;
}

static char* createDroppedLine(const char* name, int length, zipArchive* archive,
                               zipArchive* first) {
    stringBuffer line;
    line.append("dropped duplicate ");
    appendQuoted(line, name, length);
    line.append(" of ");
    appendQuoted(line, archive->getPath());
    line.append(" (kept the one of ");
    appendQuoted(line, first->getPath());
    line.append(")");
    return line.createString();
}

// A versioned entry of an archive that is not multi-release was never read;
// in a multi-release merge it would be.
int zipMerge::isUnreadVersion(int item, stringArray* notes) const {
    const unsigned char* header = getHeader(item);
    int length = getNameLength(header);
    int prefix = (int)strlen(versionsDirectory);
    if (!multiRelease || archiveMultiRelease[archiveOf[item]] || length <= prefix ||
        strncmp(getName(header), versionsDirectory, prefix) != 0) {
        return 0;
    }
    if (getName(header)[length - 1] != '/') {
        stringBuffer line;
        line.append("left out ");
        appendQuoted(line, getName(header), length);
        line.append(" of ");
        appendQuoted(line, archives[archiveOf[item]]->getPath());
        line.append(": that jar is not multi-release, so the entry was never read; the merged "
                    "archive is");
        notes->append(line.createString());
    }
    return 1;
}

// Decides what becomes of one item, knowing the items in front of it.
void zipMerge::planItem(int item, stringArray* dropped, stringArray* notes) {
    const unsigned char* header = getHeader(item);
    const char* name = getName(header);
    int length = getNameLength(header);
    mergeRule rule = getMergeRule(name, length, archiveOf[item] > 0);
    action[item] = skipItem;
    ruleOf[item] = (char)rule;
    if (rule == dropEntry || isUnreadVersion(item, notes)) {
        return;
    }
    int* slot = findSlot(name, length);
    if (*slot < 0) {
        *slot = item;
        action[item] = item == manifestItem && manifest != nullptr ? manifestEntryItem : copyItem;
        return;
    }
    planDuplicate(item, *slot, rule, dropped);
}

void zipMerge::planDuplicate(int item, int first, mergeRule rule, stringArray* dropped) {
    const unsigned char* header = getHeader(item);
    const char* name = getName(header);
    int length = getNameLength(header);
    zipArchive* archive = archives[archiveOf[item]];
    if (isJoinRule(rule) && ruleOf[first] == rule) {
        nextSame[lastSame[first]] = item;
        lastSame[first] = item;
        action[first] = joinItem;
    } else if (rule == noticeEntry && archiveOf[item] > 0) {
        planRename(item, dropped);
    } else if (rule == refuseDuplicateEntry) {
        throw createCannotMerge(name, length, archive,
                                "another jar holds it too, and larkwin-pack cannot join them");
    } else if (length > 0 && name[length - 1] != '/') {
        // Directories repeat in every jar; only files are worth a word.
        dropped->append(createDroppedLine(name, length, archive, archives[archiveOf[first]]));
    }
}

// META-INF/licenses/JAR/NAME, JAR being the archive's file name and NAME the
// entry's last part.
void zipMerge::planRename(int item, stringArray* dropped) {
    const unsigned char* header = getHeader(item);
    const char* name = getName(header);
    int length = getNameLength(header);
    const char* path = archives[archiveOf[item]]->getPath();
    const char* slash = strrchr(path, '/');
    const char* base = (const char*)memchr(name, '/', length);
    base = base != nullptr ? base + 1 : name;
    stringBuffer renamed;
    renamed.append("META-INF/licenses/");
    renamed.append(slash != nullptr ? slash + 1 : path);
    renamed.append('/');
    renamed.append(base, length - (int)(base - name));
    int* slot = findSlot(renamed.getData(), renamed.getLength());
    if (*slot >= 0 || renamed.getLength() > 0xFFFF) {
        dropped->append(createDroppedLine(name, length, archives[archiveOf[item]],
                                          archives[archiveOf[*slot >= 0 ? *slot : item]]));
        return;
    }
    renamedAs[item] = newNames->size();
    newNames->append(renamed.createString());
    *slot = item;
    action[item] = renameItem;
}

void zipMerge::plan(stringArray* dropped, stringArray* notes) {
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
            renamedAs[item] = -1;
            planItem(item, dropped, notes);
        }
    }
    dropChangedSignature(notes);
}

// The name of the first archive's first entry that the merge changes, or
// null.
const char* zipMerge::findChangedEntry(int* length) const {
    if (manifest != nullptr) {
        *length = (int)strlen(manifestName);
        return manifestName;
    }
    for (int item = 0; item < total && archiveOf[item] == 0; item++) {
        if (action[item] == joinItem) {
            *length = getNameLength(getHeader(item));
            return getName(getHeader(item));
        }
    }
    return nullptr;
}

// A signature that no longer matches what it signed fails every load from
// the jar; without it the jar's entries load as unsigned ones.
void zipMerge::dropChangedSignature(stringArray* notes) {
    int changedLength = 0;
    const char* changed = findChangedEntry(&changedLength);
    int signatures = 0;
    for (int item = 0; item < total && archiveOf[item] == 0; item++) {
        const unsigned char* header = getHeader(item);
        if (changed != nullptr && action[item] == copyItem &&
            isSignatureFile(getName(header), getNameLength(header))) {
            action[item] = skipItem;
            signatures++;
        }
    }
    if (signatures > 0) {
        stringBuffer line;
        line.append("removed the signature of ");
        appendQuoted(line, archives[0]->getPath());
        line.append(": the merge changes its ");
        appendQuoted(line, changed, changedLength);
        line.append(", so the signature would no longer match");
        notes->append(line.createString());
    }
}

void zipMerge::advance(long length) {
    position += length;
    if (position > limits.largestOffset) {
        throw createStringCopy(tooLarge);
    }
}

void zipMerge::writeHeader(const unsigned char* header, long localOffset) {
    if (written == limits.mostEntries) {
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
    long stated = zipLocalHeaderSize + getNameLength(first);
    for (int same = item; same >= 0 && stated <= limits.largestOffset; same = nextSame[same]) {
        stated += getZip4(getHeader(same), zipSizeField) + 1;
    }
    if (position + stated > limits.largestOffset) {
        throw createStringCopy(tooLarge);
    }
}

namespace {
// The joined list as its pieces pass: its CRC, length and last byte, and
// where it goes (nowhere while it is only measured).
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
// sizes and the memory fixed. Each file lists one entry per line; a last
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

// A list of lines (ServiceLoader's files) as one stored entry, named and
// dated as the first of its copies. It is read twice: once for its CRC and
// length, which its local header needs before it, and once to write it.
void zipMerge::writeJoinedLines(int item) {
    const unsigned char* first = getHeader(item);
    joinedText measured = {nullptr, crc32(0, nullptr, 0), 0, -1};
    readJoined(archives, archiveOf, entryOf, nextSame, item, &measured);
    beginStored(first, getName(first), getNameLength(first), (long)measured.crc, measured.length);
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
    int copies = 0;
    for (int same = item; same >= 0; same = nextSame[same]) {
        copies++;
    }
    char** contents = new char*[copies];
    long* lengths = new long[copies];
    int read = 0;
    long sum = 0;
    stringBuffer joined;
    int failed = -1;
    try {
        for (int same = item; same >= 0; same = nextSame[same]) {
            contents[read] =
                (char*)archives[archiveOf[same]]->createContent(entryOf[same], &lengths[read]);
            sum += lengths[read] + 1;
            // Counted before the refusal, which frees what was read.
            read++;
            if (sum > limits.largestContent) {
                throw createStringCopy(tooLarge);
            }
        }
        failed = joinRegistry((mergeRule)ruleOf[item], contents, lengths, copies, joined);
    } catch (char*) {
        for (int i = 0; i < read; i++) {
            delete[] contents[i];
        }
        delete[] contents;
        delete[] lengths;
        throw;
    }
    for (int i = 0; i < read; i++) {
        delete[] contents[i];
    }
    delete[] contents;
    delete[] lengths;
    const unsigned char* first = getHeader(item);
    if (failed >= 0) {
        int same = item;
        for (int i = 0; i < failed; i++) {
            same = nextSame[same];
        }
        throw createCannotMerge(getName(first), getNameLength(first), archives[archiveOf[same]],
                                "its last line continues, and would run into the next jar's copy");
    }
    writeStored(first, getName(first), getNameLength(first), joined.getData(), joined.getLength());
}

void zipMerge::writeRenamed(int item) {
    long size = 0;
    unsigned char* content = archives[archiveOf[item]]->createContent(entryOf[item], &size);
    int length = 0;
    const char* name = getItemName(item, &length);
    try {
        writeStored(getHeader(item), name, length, (const char*)content, size);
    } catch (char*) {
        delete[] content;
        throw;
    }
    delete[] content;
}

void zipMerge::write(outputFile& file, long offset, const char* comment) {
    out = &file;
    position = offset;
    written = 0;
    long capacity = zipHeaderSize + (long)strlen(manifestName);
    for (int i = 0; i < count; i++) {
        capacity += archives[i]->getDirectorySize();
    }
    for (int i = 0; i < newNames->size(); i++) {
        capacity += (long)strlen((*newNames)[i]);
    }
    delete[] directory;
    directory = new unsigned char[capacity];
    directoryLength = 0;
    int nameLength = (int)strlen(manifestName);
    if (manifest != nullptr && manifestItem < 0) {
        writeStored(nullptr, manifestName, nameLength, manifest, manifestLength);
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
            writeStored(header, getName(header), getNameLength(header), manifest, manifestLength);
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
