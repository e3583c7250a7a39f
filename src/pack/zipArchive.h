#ifndef LARKWIN_PACK_ZIPARCHIVE_H
#define LARKWIN_PACK_ZIPARCHIVE_H

class outputFile;

// A zip archive that can be written out again with other bytes in front of it:
// its central directory and end record, read once, with offsets that
// writeShifted moves. Only archives that start at offset 0 of their file and
// need no ZIP64 records are accepted.
class zipArchive {
  public:
    // Throws "'%s' is not a zip archive", "'%s' is a ZIP64 archive, ...",
    // "'%s' already has ... in front of its archive" or "'%s' is too large ...".
    explicit zipArchive(const char* path);
    ~zipArchive();
    zipArchive(const zipArchive&) = delete;
    zipArchive& operator=(const zipArchive&) = delete;

    // Appends the archive to out as it must read when it starts shift bytes
    // into the file, with comment (at most 65535 bytes) as its comment.
    void writeShifted(outputFile& out, long shift, const char* comment) const;

  private:
    void readEndRecord();
    void readDirectory();
    [[noreturn]] void fail(const char* format) const;

    char* path;
    long endPosition;
    long directoryOffset;
    long directorySize;
    unsigned char* endRecord;
    unsigned char* directory;
};

#endif
