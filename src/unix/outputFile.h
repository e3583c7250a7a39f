#ifndef LARKWIN_UNIX_OUTPUTFILE_H
#define LARKWIN_UNIX_OUTPUTFILE_H

#include "util/owned.h"

#include <cstdio>

// A file written under a temporary name beside its final path and renamed to
// that path only when complete, so that no half-written file ever appears
// there. Failures throw "Unable to create '%s'" or "Unable to write '%s'"
// naming the final path, with errno at the reason. The temporary file is registered for removal on
// a termination signal (removalOnSignal.h).
class outputFile {
  public:
    // The path is copied.
    explicit outputFile(const char* path);
    // Removes the temporary file unless it was committed.
    ~outputFile();
    outputFile(const outputFile&) = delete;
    outputFile& operator=(const outputFile&) = delete;

    void write(const void* data, long length);
    // Appends length bytes of the file source from offset on; throws "Unable
    // to open '%s'" or "Unable to read '%s'" naming source when they are not
    // all there (errno ENODATA when the file is shorter).
    void appendFileRange(const char* source, long offset, long length);
    // Gives the file its permission bits and moves it to its final path.
    void commit(int mode);

  private:
    [[noreturn]] void failWriting(int cause);

    ownedString path;
    ownedString temporaryPath;
    FILE* file;
};

#endif
