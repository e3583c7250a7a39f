#ifndef LARKWIN_PACK_BASE_REASONEDFILES_H
#define LARKWIN_PACK_BASE_REASONEDFILES_H

#include "unix/outputFile.h"

#include <cstddef>

// The unix/ file functions as the packer calls them: each throws what its
// unix/ function throws, with ": strerror(errno)" added (failure.h).

void packMakeDirectories(const char* path);
long packGetFileSize(const char* path);
char* packCreateFileContent(const char* path, long offset, int length);
char* packCreateWholeFileContent(const char* path, size_t limit);

// An outputFile (unix/outputFile.h) whose failures carry their reason.
class packOutputFile {
  public:
    explicit packOutputFile(const char* path);

    void write(const void* data, long length);
    void appendFileRange(const char* source, long offset, long length);
    void commit(int mode);

  private:
    outputFile file;
};

#endif
