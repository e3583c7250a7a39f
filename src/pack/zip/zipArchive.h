#ifndef LARKWIN_PACK_ZIP_ZIPARCHIVE_H
#define LARKWIN_PACK_ZIP_ZIPARCHIVE_H

#include "pack/zip/zipLimits.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

class packOutputFile;

// A zip archive that can be written out again with other bytes in front of it:
// its central directory and end record, read once, with offsets that
// writeShifted moves. Only archives that start at offset 0 of their file and
// need no ZIP64 records are accepted.
class zipArchive {
  public:
    // Throws "'%s' is not a zip archive", "'%s' is a ZIP64 archive, ...",
    // "'%s' already has ... in front of its archive" or "'%s' is too large ..."
    // when its size exceeds limits, which bound the contents that
    // createContent reads and the archive that writeShifted writes as well.
    explicit zipArchive(const char* path, const zipLimits& limits = bundleLimits);
    zipArchive(const zipArchive&) = delete;
    zipArchive& operator=(const zipArchive&) = delete;

    // Appends the archive to out as it must read when it starts shift bytes
    // into the file, with comment (at most 65535 bytes) as its comment.
    void writeShifted(packOutputFile& out, long shift, const char* comment) const;

    const char* getPath() const { return path.c_str(); }
    int getEntryCount() const { return entryCount; }
    long getDirectorySize() const { return directorySize; }
    // The central directory header of the entry (see zipFormat.h), borrowed.
    const unsigned char* getHeader(int entry) const {
        return directory.get() + headerPositions[entry];
    }
    // The bytes of the entry in the file: its local header, its data and the
    // descriptor that may follow them. Throws "'%s' is not a zip archive"
    // when they do not lie in front of the central directory.
    void locateEntry(int entry, long* start, long* length) const;
    // Appends length bytes of the archive from offset on to out.
    void copyRange(packOutputFile& out, long offset, long length) const;
    // The entry's uncompressed content, checked against its CRC, as a new
    // array; *size is its length. Throws "'%s' holds a damaged entry".
    unsigned char* createContent(int entry, long* size) const;
    // Passes the entry's uncompressed content to consume, 64 KiB at most at a
    // time and never more in all than the size its header states, whatever
    // its data would inflate to; then checks that size and its CRC. Throws
    // "'%s' holds a damaged entry", or what consume throws.
    typedef void (*contentConsumer)(void* context, const unsigned char* bytes, long length);
    void readContent(int entry, contentConsumer consume, void* context) const;

  private:
    void readEndRecord();
    void readDirectory();
    long getDataStart(int entry) const;
    std::vector<unsigned char> readRange(long offset, long length) const;
    FILE* getReader() const;

    struct fileCloser {
        void operator()(FILE* file) const { fclose(file); }
    };

    std::string path;
    zipLimits limits;
    long endPosition;
    long directoryOffset;
    long directorySize;
    int entryCount;
    std::unique_ptr<unsigned char[]> endRecord;
    std::unique_ptr<unsigned char[]> directory;
    std::vector<long> headerPositions;
    // Entries are read one after another while a merge is written; the file
    // stays open for them from the first read on.
    mutable std::unique_ptr<FILE, fileCloser> reader;
};

#endif
