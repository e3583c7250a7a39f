#include "pack/zip/zipMerge.h"

#include "pack/base/ownedText.h"
#include "pack/zip/jarManifest.h"
#include "pack/zip/mergeMessages.h"
#include "pack/zip/mergeRules.h"
#include "pack/zip/packageSections.h"
#include "pack/zip/zipArchive.h"
#include "pack/zip/zipMergeItems.h"
#include "util/owned.h"
#include "util/stringArray.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cstring>
#include <map>
#include <set>

static const char* versionsDirectory = "META-INF/versions/";

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
    : archives(archives), count(count), limits(mergeLimits), total(0), manifestLength(0),
      manifestItem(-1), multiRelease(0), archiveMultiRelease(count), out(nullptr), position(0),
      written(0), directoryLength(0) {
    for (int i = 0; i < count; i++) {
        total += archives[i]->getEntryCount();
    }
    archiveOf.resize(total);
    entryOf.resize(total);
    action.resize(total);
    ruleOf.resize(total);
    nextSame.resize(total);
    lastSame.resize(total);
    renamedAs.resize(total);
    // Renamed entries take slots too; the table never fills beyond half, so
    // that probes stay short.
    slots.assign(4 * (size_t)total + 1, -1);
    readManifests();
    plan(dropped, notes);
}

const unsigned char* zipMerge::getHeader(int item) const {
    return archives[archiveOf[item]]->getHeader(entryOf[item]);
}

const char* zipMerge::getItemName(int item, int* length) const {
    if (renamedAs[item] >= 0) {
        const std::string& name = newNames[renamedAs[item]];
        *length = (int)name.size();
        return name.c_str();
    }
    *length = getEntryNameLength(getHeader(item));
    return getEntryName(getHeader(item));
}

// The slot that holds the first item of that name, or the empty slot where
// it belongs.
int* zipMerge::findSlot(const char* name, int length) {
    unsigned int slotCount = (unsigned int)slots.size();
    unsigned int slot = hashName(name, length) % slotCount;
    while (slots[slot] >= 0) {
        int slotLength = 0;
        const char* slotName = getItemName(slots[slot], &slotLength);
        if (slotLength == length && memcmp(slotName, name, length) == 0) {
            break;
        }
        slot = (slot + 1) % slotCount;
    }
    return &slots[slot];
}

void zipMerge::readManifests() {
    for (int a = 0; a < count; a++) {
        long length = 0;
        int entry = -1;
        ownedString text(createManifestText(*archives[a], &length, &entry));
        archiveMultiRelease[a] = text != nullptr && isMultiRelease(text.get(), length);
        multiRelease = multiRelease || archiveMultiRelease[a];
        if (a == 0) {
            manifest = std::move(text);
            manifestLength = length;
            // The first archive's items come first: its entry is its item.
            manifestItem = entry;
        }
    }
    editManifest();
}

// The first archive's manifest as the merge writes it, or null when it is
// copied as it is.
void zipMerge::editManifest() {
    ownedString classPath(manifest != nullptr
                              ? createMainAttribute(manifest.get(), manifestLength, "Class-Path")
                              : nullptr);
    int addMultiRelease = multiRelease && !archiveMultiRelease[0];
    if (manifest == nullptr && addMultiRelease) {
        manifest.reset(createStringCopy("Manifest-Version: 1.0\r\nMulti-Release: true\r\n\r\n"));
        manifestLength = (long)strlen(manifest.get());
    } else if (manifest != nullptr && (classPath != nullptr || addMultiRelease)) {
        long length = 0;
        manifest.reset(
            createEditedManifest(manifest.get(), manifestLength, classPath ? "Class-Path" : nullptr,
                                 addMultiRelease ? "Multi-Release: true" : nullptr, &length));
        manifestLength = length;
    } else {
        manifest.reset();
    }
}

// A versioned entry of an archive that is not multi-release was never read;
// in a multi-release merge it would be.
int zipMerge::isUnreadVersion(int item, stringArray* notes) const {
    const unsigned char* header = getHeader(item);
    int length = getEntryNameLength(header);
    int prefix = (int)strlen(versionsDirectory);
    if (!multiRelease || archiveMultiRelease[archiveOf[item]] || length <= prefix ||
        strncmp(getEntryName(header), versionsDirectory, prefix) != 0) {
        return 0;
    }
    if (getEntryName(header)[length - 1] != '/') {
        stringBuffer line;
        line.append("left out ");
        appendQuoted(line, getEntryName(header), length);
        line.append(" of ");
        const char* path = archives[archiveOf[item]]->getPath();
        appendQuoted(line, path, (int)strlen(path));
        line.append(": that jar is not multi-release, so the entry was never read; the merged "
                    "archive is");
        notes->append(line.createString());
    }
    return 1;
}

// Decides what becomes of one item, knowing the items in front of it.
void zipMerge::planItem(int item, stringArray* dropped, stringArray* notes) {
    const unsigned char* header = getHeader(item);
    const char* name = getEntryName(header);
    int length = getEntryNameLength(header);
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
    const char* name = getEntryName(header);
    int length = getEntryNameLength(header);
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
    const char* name = getEntryName(header);
    int length = getEntryNameLength(header);
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
    renamedAs[item] = (int)newNames.size();
    newNames.emplace_back(renamed.getData(), renamed.getLength());
    *slot = item;
    action[item] = renameItem;
}

void zipMerge::plan(stringArray* dropped, stringArray* notes) {
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
    addPackageSections();
    dropChangedSignature(notes);
}

// On the class path each package takes its attributes from the jar whose
// class defines it; the merged jar names them per package, and its main
// section keeps none, so that a package of a jar without them has none.
void zipMerge::addPackageSections() {
    std::map<std::string, int> packages;
    for (int item = 0; item < total; item++) {
        const unsigned char* header = getHeader(item);
        std::string package = getClassPackage(getEntryName(header), getEntryNameLength(header));
        if (!package.empty() && (archiveOf[item] == 0 || action[item] == copyItem)) {
            packages.emplace(package, archiveOf[item]);
        }
    }
    std::string sections = count > 1 ? createPackageSections(archives, packages) : "";
    if (sections.empty()) {
        return;
    }
    long length = manifestLength;
    int entry = -1;
    ownedString original(manifest == nullptr ? createManifestText(*archives[0], &length, &entry)
                                             : nullptr);
    ownedString text(createWithoutPackageAttributes(
        manifest != nullptr ? manifest.get() : original.get(), &length));
    // A manifest may hold any byte, a zero too: lengths, not terminators.
    std::string withSections = appendSections(text.get(), length, sections);
    manifest.reset(createOwnedCopy(withSections));
    manifestLength = (long)withSections.size();
    if (manifestItem >= 0) {
        action[manifestItem] = manifestEntryItem;
    }
}

// The name of the first archive's first entry that the merge changes, or
// null.
const char* zipMerge::findChangedEntry(int* length) const {
    if (manifest != nullptr) {
        *length = (int)strlen(mergeManifestName);
        return mergeManifestName;
    }
    for (int item = 0; item < total && archiveOf[item] == 0; item++) {
        if (action[item] == joinItem) {
            *length = getEntryNameLength(getHeader(item));
            return getEntryName(getHeader(item));
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
            isSignatureFile(getEntryName(header), getEntryNameLength(header))) {
            action[item] = skipItem;
            signatures++;
        }
    }
    if (signatures > 0) {
        stringBuffer line;
        line.append("removed the signature of ");
        appendQuoted(line, archives[0]->getPath(), (int)strlen(archives[0]->getPath()));
        line.append(": the merge changes its ");
        appendQuoted(line, changed, changedLength);
        line.append(", so the signature would no longer match");
        notes->append(line.createString());
    }
}
