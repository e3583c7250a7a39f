#ifndef LARKWIN_RUNTIME_RUNTIMEIMAGE_H
#define LARKWIN_RUNTIME_RUNTIMEIMAGE_H

#include <sys/types.h>

// What a runtime image says of a module's package.
enum packageAnswer {
    packageFound,
    // The image has no such module.
    moduleMissing,
    // The module is there, without that package (a folder that only holds
    // other packages' folders is no package of it).
    packageMissing,
    // The image could not be read, or is of a form not known here.
    imageUnreadable,
};

// The modules of a runtime, as its lib/modules file (the jimage that jlink
// writes, version 1.0) lists them. A question reads only the few entries of
// the file's hash table that it needs, never the whole index.
class runtimeImage {
  public:
    // Opens home/lib/modules and reads its header; a null home has none.
    explicit runtimeImage(const char* home);
    ~runtimeImage();
    runtimeImage(const runtimeImage&) = delete;
    runtimeImage& operator=(const runtimeImage&) = delete;

    // Whether the file was there (even if it could not be read).
    int exists() const { return present; }
    // Whether its header was read and is of the known form.
    int isReadable() const { return readable; }
    // Whether module holds package, as the module's descriptor lists its
    // packages: the image's "/packages/PACKAGE" entry names the module
    // with content of its own. Both names are plain ASCII.
    packageAnswer findPackage(const char* module, const char* package) const;

  private:
    int readHeader();
    int readAt(off_t offset, void* buffer, size_t length) const;
    unsigned readWord(const unsigned char* bytes) const;
    int findLocation(const char* name, unsigned long long* attributes) const;
    int readAttributes(unsigned offset, unsigned long long* attributes) const;
    int isString(unsigned long long offset, const char* expected) const;
    int isEntry(const unsigned long long* attributes, const char* folder, const char* name) const;
    packageAnswer findModuleOfPackage(const unsigned long long* attributes,
                                      const char* module) const;

    int fd;
    int present;
    int readable;
    int bigEndian;
    unsigned tableLength;
    unsigned locationsSize;
    unsigned stringsSize;
    off_t fileSize;
};

#endif
