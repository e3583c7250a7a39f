#include "runtime/runtimeImage.h"

#include "util/owned.h"
#include "util/strings.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The jimage's layout: a header of seven 32-bit words (magic, version,
// flags, resource count, table length, locations size, strings size), then
// the redirect table and the offsets table (a word per slot each), the
// locations, the strings, and the resources' content. Words are in the
// byte order of the machine that wrote the image, which the magic tells.
static const unsigned imageMagic = 0xCAFEDADAu;
static const unsigned imageVersion = 0x00010000u;
static const off_t headerSize = 7 * 4;
static const unsigned hashMultiplier = 0x01000193u;
// A location's attributes: each is a byte (kind << 3 | length - 1) and that
// many bytes of value, the highest first; a byte below 8 ends them.
enum {
    attributeModule = 1,
    attributeParent,
    attributeBase,
    attributeExtension,
    attributeOffset,
    attributeCompressed,
    attributeUncompressed,
    attributeCount
};
static const int longestAttributes = attributeCount * 9 + 1;
// A "/packages/..." entry lists (empty flag, module name) pairs, one per
// module; a JDK has about a hundred modules.
static const unsigned longestPackageList = 8 * 4096;

runtimeImage::runtimeImage(const char* home)
    : fd(-1), present(0), readable(0), bigEndian(0), tableLength(0), locationsSize(0),
      stringsSize(0), fileSize(0) {
    if (home == nullptr) {
        return;
    }
    ownedString path(createString(home, "/lib/modules"));
    fd = open(path.get(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    present = fd >= 0 || errno != ENOENT;
    readable = fd >= 0 && readHeader();
}

runtimeImage::~runtimeImage() {
    if (fd >= 0) {
        close(fd);
    }
}

int runtimeImage::readAt(off_t offset, void* buffer, size_t length) const {
    size_t got = 0;
    while (got < length) {
        ssize_t n = pread(fd, static_cast<char*>(buffer) + got, length - got, offset + got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return 0;
        }
        got += (size_t)n;
    }
    return 1;
}

unsigned runtimeImage::readWord(const unsigned char* bytes) const {
    if (bigEndian) {
        return (unsigned)bytes[0] << 24 | (unsigned)bytes[1] << 16 | (unsigned)bytes[2] << 8 |
               bytes[3];
    }
    return (unsigned)bytes[3] << 24 | (unsigned)bytes[2] << 16 | (unsigned)bytes[1] << 8 | bytes[0];
}

// Only a regular file whose tables lie within it is read.
int runtimeImage::readHeader() {
    struct stat status;
    unsigned char header[headerSize];
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || !readAt(0, header, sizeof header)) {
        return 0;
    }
    fileSize = status.st_size;
    bigEndian = readWord(header) != imageMagic;
    if (readWord(header) != imageMagic || readWord(header + 4) != imageVersion) {
        return 0;
    }
    tableLength = readWord(header + 16);
    locationsSize = readWord(header + 20);
    stringsSize = readWord(header + 24);
    long long indexSize =
        headerSize + 8LL * tableLength + (long long)locationsSize + (long long)stringsSize;
    return tableLength > 0 && indexSize <= (long long)fileSize;
}

// The hash of the image's string table: FNV-1 over the name's bytes (ASCII
// here), kept positive.
static unsigned hashName(const char* name, unsigned seed) {
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p != 0; p++) {
        seed = (seed * hashMultiplier) ^ *p;
    }
    return seed & 0x7FFFFFFFu;
}

int runtimeImage::readAttributes(unsigned offset, unsigned long long* attributes) const {
    unsigned char bytes[longestAttributes];
    if (offset >= locationsSize) {
        return 0;
    }
    unsigned length = locationsSize - offset < sizeof bytes ? locationsSize - offset : sizeof bytes;
    if (!readAt(headerSize + 8LL * tableLength + offset, bytes, length)) {
        return 0;
    }
    for (unsigned i = 0; i < length && bytes[i] >= 8;) {
        int kind = bytes[i] >> 3;
        unsigned size = (bytes[i] & 7u) + 1;
        if (kind >= attributeCount || i + 1 + size > length) {
            return 0;
        }
        unsigned long long value = 0;
        for (unsigned j = 0; j < size; j++) {
            value = value << 8 | bytes[i + 1 + j];
        }
        attributes[kind] = value;
        i += 1 + size;
    }
    return 1;
}

// Whether the string at offset in the strings table is expected.
int runtimeImage::isString(unsigned long long offset, const char* expected) const {
    size_t length = strlen(expected) + 1;
    if (offset >= stringsSize || length > stringsSize - offset) {
        return 0;
    }
    ownedString text(new char[length]);
    off_t strings = headerSize + 8LL * tableLength + locationsSize;
    return readAt(strings + (off_t)offset, text.get(), length) &&
           memcmp(text.get(), expected, length) == 0;
}

// The writer stores "/FOLDER/NAME" as module FOLDER and base NAME, with no
// parent and no extension.
int runtimeImage::isEntry(const unsigned long long* attributes, const char* folder,
                          const char* name) const {
    return isString(attributes[attributeModule], folder) &&
           isString(attributes[attributeParent], "") && isString(attributes[attributeBase], name) &&
           isString(attributes[attributeExtension], "");
}

// The perfect hash of jlink: the name's slot in the redirect table holds
// the location's index (as -1 - index), or a seed that hashes the name to
// it, or 0 for no entry. 1 with the attributes of "/folder/name", else 0.
int runtimeImage::findLocation(const char* name, unsigned long long* attributes) const {
    unsigned char word[4];
    if (!readAt(headerSize + 4LL * (hashName(name, hashMultiplier) % tableLength), word, 4)) {
        return 0;
    }
    int redirect = (int)readWord(word);
    if (redirect == 0) {
        return 0;
    }
    unsigned index = redirect < 0 ? (unsigned)(-1 - (long long)redirect)
                                  : hashName(name, (unsigned)redirect) % tableLength;
    if (index >= tableLength || !readAt(headerSize + 4LL * tableLength + 4LL * index, word, 4)) {
        return 0;
    }
    memset(attributes, 0, sizeof(unsigned long long) * attributeCount);
    return readAttributes(readWord(word), attributes);
}

packageAnswer runtimeImage::findModuleOfPackage(const unsigned long long* attributes,
                                                const char* module) const {
    unsigned long long size = attributes[attributeUncompressed];
    off_t content = headerSize + 8LL * tableLength + locationsSize + stringsSize;
    if (attributes[attributeCompressed] != 0 || size % 8 != 0 || size > longestPackageList ||
        attributes[attributeOffset] > (unsigned long long)(fileSize - content) ||
        size > (unsigned long long)(fileSize - content) - attributes[attributeOffset]) {
        return imageUnreadable;
    }
    ownedArray<unsigned char> pairs(new unsigned char[size + 1]);
    if (!readAt(content + (off_t)attributes[attributeOffset], pairs.get(), size)) {
        return imageUnreadable;
    }
    for (unsigned long long i = 0; i < size; i += 8) {
        if (isString(readWord(pairs.get() + i + 4), module)) {
            return readWord(pairs.get() + i) == 0 ? packageFound : packageMissing;
        }
    }
    return packageMissing;
}

packageAnswer runtimeImage::findPackage(const char* module, const char* package) const {
    if (!readable) {
        return imageUnreadable;
    }
    unsigned long long attributes[attributeCount];
    ownedString moduleName(createString("/modules/", module));
    if (!findLocation(moduleName.get(), attributes) || !isEntry(attributes, "modules", module)) {
        return moduleMissing;
    }
    ownedString packageName(createString("/packages/", package));
    if (!findLocation(packageName.get(), attributes) || !isEntry(attributes, "packages", package)) {
        return packageMissing;
    }
    return findModuleOfPackage(attributes, module);
}
