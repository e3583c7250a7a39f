#ifndef LARKWIN_PACK_ZIP_ZIPMERGE_H
#define LARKWIN_PACK_ZIP_ZIPMERGE_H

class outputFile;
class stringArray;
class zipArchive;

// Several archives written as one: the first occurrence of a name wins, the
// rules of mergeRules.h apply, and every entry that is kept is copied as it
// is stored (headers, compressed data, descriptor) except the service files
// that more than one archive holds, which are joined into one stored entry.
class zipMerge {
  public:
    // The archives are borrowed; the first is the application's own jar.
    // Adds to dropped one line for every duplicate that is left out.
    zipMerge(zipArchive** archives, int count, stringArray* dropped);
    ~zipMerge();
    zipMerge(const zipMerge&) = delete;
    zipMerge& operator=(const zipMerge&) = delete;

    // Appends the merged archive to out, which already holds offset bytes,
    // with comment (at most 65535 bytes) as its comment. Throws the
    // archives' failures, or "the merged archive needs ZIP64 ..." when it
    // holds too many entries or bytes for the classic format.
    void write(outputFile& out, long offset, const char* comment);

  private:
    void plan(stringArray* dropped);
    void planItem(int item, stringArray* dropped);
    int* findSlot(const char* name, int length);
    const unsigned char* getHeader(int item) const;
    void writeCopy(int item);
    void writeJoined(int item);
    void writeHeader(const unsigned char* header, long localOffset);
    void advance(long length);

    zipArchive** archives;
    int count;
    int total;
    int* archiveOf;
    int* entryOf;
    // What becomes of each entry, in the order of the archives.
    char* action;
    // The next entry of the same joined name, or -1.
    int* nextSame;
    int* lastSame;
    int* slots;
    int slotCount;
    outputFile* out;
    long position;
    int written;
    // The central directory written so far. No header written is longer
    // than the one it comes from, so the inputs' directories together bound
    // its size.
    unsigned char* directory;
    long directoryLength;
};

#endif
