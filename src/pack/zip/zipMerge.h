#ifndef LARKWIN_PACK_ZIP_ZIPMERGE_H
#define LARKWIN_PACK_ZIP_ZIPMERGE_H

#include "pack/zip/mergeRules.h"
#include "pack/zip/zipLimits.h"

#include <memory>
#include <string>
#include <vector>

class packOutputFile;
class stringArray;
class zipArchive;

// Several archives written as one: the first occurrence of a name wins, the
// rules of mergeRules.h apply, and every entry that is kept is copied as it
// is stored (headers, compressed data, descriptor), except the entries the
// merge writes itself, each as one stored entry: the registries that several
// archives hold, joined; a dependency's licence or notice file whose name is
// taken, under META-INF/licenses/JAR/; and the first archive's manifest when
// it changes (its Class-Path removed, since the archives it names are merged
// or reported by the caller; "Multi-Release: true" added when a dependency
// has it). When the merge is multi-release, the versioned entries
// (META-INF/versions/) of an archive that is not are left out, since they
// were never read. When the first archive is signed and the merge changes
// one of its entries, its signature files are left out.
class zipMerge {
  public:
    // The archives are borrowed; the first is the application's own jar.
    // Adds to dropped one line for every duplicate that is left out, and to
    // notes one line for every other change a reader may need to know of.
    // Throws "cannot merge ..." naming the entry and the archive when an
    // entry cannot be kept faithfully. What is written stays within limits.
    zipMerge(zipArchive** archives, int count, stringArray* dropped, stringArray* notes,
             const zipLimits& limits = bundleLimits);
    zipMerge(const zipMerge&) = delete;
    zipMerge& operator=(const zipMerge&) = delete;

    // Appends the merged archive to out, which already holds offset bytes,
    // with comment (at most 65535 bytes) as its comment. Throws the
    // archives' failures, "cannot merge ..." for a registry that cannot be
    // joined, or "the merged archive needs ZIP64 ..." when it holds too many
    // entries or bytes for the classic format.
    void write(packOutputFile& out, long offset, const char* comment);

  private:
    void readManifests();
    void editManifest();
    void plan(stringArray* dropped, stringArray* notes);
    void planItem(int item, stringArray* dropped, stringArray* notes);
    void planDuplicate(int item, int first, mergeRule rule, stringArray* dropped);
    void planRename(int item, stringArray* dropped);
    void addPackageSections();
    int isUnreadVersion(int item, stringArray* notes) const;
    const char* findChangedEntry(int* length) const;
    void dropChangedSignature(stringArray* notes);
    int* findSlot(const char* name, int length);
    const unsigned char* getHeader(int item) const;
    const char* getItemName(int item, int* length) const;
    void writeEntries();
    void writeCopy(int item);
    void writeJoined(int item);
    void writeJoinedLines(int item);
    void checkStatedSizes(int item) const;
    void beginStored(const unsigned char* template_, const char* name, int nameLength, long crc,
                     long length);
    void writeRenamed(int item);
    void writeStored(const unsigned char* template_, const char* name, int nameLength,
                     const char* content, long length);
    void writeHeader(const unsigned char* header, long localOffset);
    void advance(long length);

    zipArchive** archives;
    int count;
    zipLimits limits;
    int total;
    std::vector<int> archiveOf;
    std::vector<int> entryOf;
    // What becomes of each entry, in the order of the archives.
    std::vector<char> action;
    // The rule that joins the entries of a joined name.
    std::vector<char> ruleOf;
    // The next entry of the same joined name, or -1.
    std::vector<int> nextSame;
    std::vector<int> lastSame;
    // The index in newNames of an entry kept under another name, or -1.
    std::vector<int> renamedAs;
    std::vector<std::string> newNames;
    std::vector<int> slots;
    // The first archive's manifest as it is written, or null when it is
    // copied as it is; the item of the original, or -1 when it is new.
    std::unique_ptr<char[]> manifest;
    long manifestLength;
    int manifestItem;
    int multiRelease;
    std::vector<int> archiveMultiRelease;
    packOutputFile* out;
    long position;
    int written;
    // The central directory written so far. Headers are bounded by the
    // inputs' headers plus the renamed names and one new manifest.
    std::unique_ptr<unsigned char[]> directory;
    long directoryLength;
};

#endif
