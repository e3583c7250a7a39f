#include "unpack/storedEntries.h"

#include "util/owned.h"
#include "util/strings.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const long endRecordSize = 22;
const long headerSize = 46;
const long localHeaderSize = 30;
const unsigned long endSignature = 0x06054B50;
const unsigned long headerSignature = 0x02014B50;
const unsigned long localSignature = 0x04034B50;

unsigned long get2(const unsigned char* p) {
    return (unsigned long)p[0] | (unsigned long)p[1] << 8;
}

unsigned long get4(const unsigned char* p) {
    return get2(p) | get2(p + 2) << 16;
}

// Closes a descriptor however the call ends.
struct descriptor {
    explicit descriptor(int fd) : fd(fd) {}
    ~descriptor() {
        if (fd >= 0) {
            close(fd);
        }
    }
    descriptor(const descriptor&) = delete;
    descriptor& operator=(const descriptor&) = delete;
    int fd;
};

int readFully(int fd, void* buffer, long length, long offset) {
    char* into = (char*)buffer;
    while (length > 0) {
        ssize_t got = pread(fd, into, (size_t)length, offset);
        if (got <= 0) {
            if (got < 0 && errno == EINTR) {
                continue;
            }
            errno = got == 0 ? EIO : errno;
            return 0;
        }
        into += got;
        offset += got;
        length -= got;
    }
    return 1;
}

int writeFully(int fd, const char* data, long length) {
    while (length > 0) {
        ssize_t put = write(fd, data, (size_t)length);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return 0;
        }
        data += put;
        length -= put;
    }
    return 1;
}

// The kernel copies between the files where it can; else a buffer does.
int copyRange(int from, long offset, long length, int to) {
    while (length > 0) {
        off_t in = offset;
        ssize_t copied = copy_file_range(from, &in, to, nullptr, (size_t)length, 0);
        if (copied < 0 && errno == EINTR) {
            continue;
        }
        if (copied <= 0) {
            break;
        }
        offset += copied;
        length -= copied;
    }
    static char buffer[1 << 16];
    while (length > 0) {
        long chunk = length < (long)sizeof buffer ? length : (long)sizeof buffer;
        if (!readFully(from, buffer, chunk, offset) || !writeFully(to, buffer, chunk)) {
            return 0;
        }
        offset += chunk;
        length -= chunk;
    }
    return 1;
}

// One entry of the central directory, as the unpacking needs it.
struct storedEntry {
    ownedString name;
    unsigned mode = 0;
    long data = 0;
    long size = 0;
};

class partReader {
  public:
    partReader(int fd, long offset, long length, const char* directory)
        : fd(fd), begin(offset), end(offset + length), directory(directory) {}
    char* unpack();

  private:
    char* readDirectory();
    char* readEntry(const unsigned char* header, long room, long* used, storedEntry* entry);
    char* writeEntry(const storedEntry& entry);
    char* writeFile(const storedEntry& entry, const char* path);
    char* writeLink(const storedEntry& entry, const char* path);

    int fd;
    long begin;
    long end;
    const char* directory;
    long count = 0;
    long directoryStart = 0;
    long directorySize = 0;
    ownedArray<unsigned char> headers;
};

char* partReader::readDirectory() {
    unsigned char record[endRecordSize];
    if (end - begin < endRecordSize || !readFully(fd, record, endRecordSize, end - endRecordSize)) {
        return createMessage("no stored part at %ld: %s", begin, strerror(errno));
    }
    count = (long)get2(record + 10);
    directorySize = (long)get4(record + 12);
    directoryStart = (long)get4(record + 16);
    if (get4(record) != endSignature || directoryStart < begin ||
        directoryStart + directorySize > end - endRecordSize) {
        return createMessage("the stored part at %ld is damaged", begin);
    }
    headers.reset(new unsigned char[directorySize > 0 ? directorySize : 1]);
    if (!readFully(fd, headers.get(), directorySize, directoryStart)) {
        return createMessage("Unable to read the stored part: %s", strerror(errno));
    }
    return nullptr;
}

char* partReader::readEntry(const unsigned char* header, long room, long* used,
                            storedEntry* entry) {
    if (room < headerSize || get4(header) != headerSignature) {
        return createMessage("the stored part at %ld is damaged", begin);
    }
    long nameLength = (long)get2(header + 28);
    *used = headerSize + nameLength + (long)get2(header + 30) + (long)get2(header + 32);
    long local = (long)get4(header + 42);
    entry->size = (long)get4(header + 24);
    entry->mode = (unsigned)(get4(header + 38) >> 16);
    if (*used > room) {
        return createMessage("the stored part at %ld is damaged", begin);
    }
    entry->name.reset(new char[nameLength + 1]);
    memcpy(entry->name.get(), header + headerSize, nameLength);
    entry->name[nameLength] = 0;
    unsigned char localHeader[localHeaderSize];
    if (get2(header + 10) != 0 || (long)get4(header + 20) != entry->size || local < begin ||
        !readFully(fd, localHeader, localHeaderSize, local) ||
        get4(localHeader) != localSignature) {
        return createMessage("the stored entry '%s' is damaged or compressed", entry->name.get());
    }
    entry->data =
        local + localHeaderSize + (long)get2(localHeader + 26) + (long)get2(localHeader + 28);
    if (entry->data + entry->size > directoryStart || !isSafeEntryName(entry->name.get())) {
        return createMessage("the stored entry '%s' is refused", entry->name.get());
    }
    return nullptr;
}

char* partReader::writeFile(const storedEntry& entry, const char* path) {
    descriptor out(
        open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, entry.mode & 0755));
    // Every copy's files bear the entries' own time (1980-01-01), so that
    // what a start-up archive records of them holds for every copy.
    const struct timespec entryTimes[2] = {{storedEntryTime, 0}, {storedEntryTime, 0}};
    if (out.fd < 0 || !copyRange(fd, entry.data, entry.size, out.fd) ||
        futimens(out.fd, entryTimes) != 0) {
        return createMessage("Unable to write '%s': %s", path, strerror(errno));
    }
    int closed = close(out.fd);
    out.fd = -1;
    return closed == 0 ? nullptr : createMessage("Unable to write '%s': %s", path, strerror(errno));
}

char* partReader::writeLink(const storedEntry& entry, const char* path) {
    if (entry.size <= 0 || entry.size > 4096) {
        return createMessage("the stored link '%s' is refused", entry.name.get());
    }
    ownedString target(new char[entry.size + 1]);
    if (!readFully(fd, target.get(), entry.size, entry.data)) {
        return createMessage("Unable to read the stored part: %s", strerror(errno));
    }
    target[entry.size] = 0;
    if (strlen(target.get()) != (size_t)entry.size ||
        !isInsideLink(entry.name.get(), target.get())) {
        return createMessage("the stored link '%s' leads out", entry.name.get());
    }
    return symlink(target.get(), path) == 0
               ? nullptr
               : createMessage("Unable to write '%s': %s", path, strerror(errno));
}

char* partReader::writeEntry(const storedEntry& entry) {
    ownedString path(createMessage("%s/%s", directory, entry.name.get()));
    if (S_ISDIR(entry.mode)) {
        size_t length = strlen(path.get());
        if (path[length - 1] == '/') {
            path[length - 1] = 0;
        }
        return mkdir(path.get(), (entry.mode & 0755) | 0700) == 0
                   ? nullptr
                   : createMessage("Unable to write '%s': %s", path.get(), strerror(errno));
    }
    if (S_ISREG(entry.mode)) {
        return writeFile(entry, path.get());
    }
    if (S_ISLNK(entry.mode)) {
        return writeLink(entry, path.get());
    }
    return createMessage("the stored entry '%s' is of an unknown kind", entry.name.get());
}

char* partReader::unpack() {
    char* failure = readDirectory();
    long at = 0;
    for (long i = 0; failure == nullptr && i < count; i++) {
        storedEntry entry;
        long used = 0;
        failure = readEntry(headers.get() + at, directorySize - at, &used, &entry);
        if (failure == nullptr) {
            failure = writeEntry(entry);
        }
        at += used;
    }
    return failure;
}

int isPartName(const char* part, size_t length) {
    return length > 0 && !(length == 1 && part[0] == '.') &&
           !(length == 2 && part[0] == '.' && part[1] == '.');
}

} // namespace

int isSafeEntryName(const char* name) {
    size_t length = strlen(name);
    if (length == 0 || name[0] == '/') {
        return 0;
    }
    for (size_t i = 0; i < length; i++) {
        if ((unsigned char)name[i] < 0x20 || name[i] == 0x7F) {
            return 0;
        }
    }
    for (const char* part = name;;) {
        const char* slash = strchr(part, '/');
        size_t partLength = slash != nullptr ? (size_t)(slash - part) : strlen(part);
        int last = slash == nullptr || slash[1] == 0;
        if (!isPartName(part, partLength)) {
            return 0;
        }
        if (last) {
            return 1;
        }
        part = slash + 1;
    }
}

int isInsideLink(const char* name, const char* target) {
    if (target[0] == '/' || target[0] == 0) {
        return 0;
    }
    long depth = 0;
    for (const char* c = name; *c != 0; c++) {
        depth += *c == '/' && c[1] != 0 ? 1 : 0;
    }
    for (const char* part = target; *part != 0;) {
        const char* slash = strchr(part, '/');
        size_t length = slash != nullptr ? (size_t)(slash - part) : strlen(part);
        if (length == 2 && part[0] == '.' && part[1] == '.') {
            depth--;
        } else if (length > 0 && !(length == 1 && part[0] == '.')) {
            depth++;
        }
        if (depth < 0) {
            return 0;
        }
        part += slash != nullptr ? length + 1 : length;
    }
    return 1;
}

char* createUnpackFailure(const char* file, long offset, long length, const char* directory) {
    descriptor in(open(file, O_RDONLY | O_CLOEXEC));
    if (in.fd < 0) {
        return createMessage("Unable to open '%s': %s", file, strerror(errno));
    }
    partReader reader(in.fd, offset, length, directory);
    char* failure = reader.unpack();
    if (failure != nullptr) {
        return failure;
    }
    // One sync of the file system writes every file and folder made.
    descriptor folder(open(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.fd < 0 || syncfs(folder.fd) != 0) {
        return createMessage("Unable to sync '%s': %s", directory, strerror(errno));
    }
    return nullptr;
}
