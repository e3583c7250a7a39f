#include "cache/cacheRecord.h"

#include "util/owned.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

static const char* recordHeader = "larkwin startup cache record 1";

cacheRecord::cacheRecord()
    : size(0), checksum(0), inode(0), changeSeconds(0), changeNanoseconds(0), executable(nullptr),
      mainClass(nullptr), runtimeHome(nullptr), runtimeVersion(nullptr), classes(0), remakes(0),
      uses(0) {}

cacheRecord::~cacheRecord() {
    delete[] executable;
    delete[] mainClass;
    delete[] runtimeHome;
    delete[] runtimeVersion;
}

void cacheRecord::set(char*& field, const char* value) {
    char* copy = createStringCopy(value != nullptr ? value : "");
    delete[] field;
    field = copy;
}

static int isOwnAndClosed(const struct stat& status, int rootMayOwn = 0) {
    return S_ISREG(status.st_mode) &&
           (status.st_uid == geteuid() || (rootMayOwn && status.st_uid == 0)) &&
           (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

void cacheRecord::takeFileState(const char* archive) {
    struct stat status;
    if (lstat(archive, &status) == 0) {
        size = (unsigned long long)status.st_size;
        inode = (unsigned long long)status.st_ino;
        changeSeconds = (long long)status.st_ctim.tv_sec;
        changeNanoseconds = (long long)status.st_ctim.tv_nsec;
    }
}

// One "name value" line: the value is the rest of the line.
static const char* valueOf(const char* line, const char* name) {
    size_t length = strlen(name);
    return strncmp(line, name, length) == 0 && line[length] == ' ' ? line + length + 1 : nullptr;
}

int cacheRecord::read(const char* path, int rootMayOwn) {
    int fd = open(path, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    struct stat status;
    if (fd < 0 || fstat(fd, &status) != 0 || !isOwnAndClosed(status, rootMayOwn) ||
        status.st_size > 16384) {
        if (fd >= 0) {
            close(fd);
        }
        return 0;
    }
    FILE* file = fdopen(fd, "r");
    char line[4200];
    int fields = 0;
    int headed = fgets(line, sizeof line, file) != nullptr && startsWith(line, recordHeader);
    while (headed && fgets(line, sizeof line, file) != nullptr) {
        line[strcspn(line, "\n")] = 0;
        const char* value;
        if ((value = valueOf(line, "size")) != nullptr) {
            size = strtoull(value, nullptr, 10);
            fields |= 1;
        } else if ((value = valueOf(line, "checksum")) != nullptr) {
            checksum = strtoull(value, nullptr, 16);
            fields |= 2;
        } else if ((value = valueOf(line, "change")) != nullptr) {
            fields |=
                sscanf(value, "%llu %lld %lld", &inode, &changeSeconds, &changeNanoseconds) == 3
                    ? 4
                    : 0;
        } else if ((value = valueOf(line, "executable")) != nullptr) {
            set(executable, value);
        } else if ((value = valueOf(line, "mainclass")) != nullptr) {
            set(mainClass, value);
        } else if ((value = valueOf(line, "runtime")) != nullptr) {
            set(runtimeHome, value);
        } else if ((value = valueOf(line, "version")) != nullptr) {
            set(runtimeVersion, value);
        } else if ((value = valueOf(line, "classes")) != nullptr) {
            sscanf(value, "%lld %d %d", &classes, &remakes, &uses);
        }
    }
    fclose(file);
    return headed && fields == 7;
}

// Writes the record's lines; 0 when that failed.
static int print(FILE* file, const cacheRecord& record) {
    fprintf(file, "%s\nsize %llu\nchecksum %016llx\nchange %llu %lld %lld\n", recordHeader,
            record.size, record.checksum, record.inode, record.changeSeconds,
            record.changeNanoseconds);
    fprintf(file, "executable %s\nmainclass %s\nruntime %s\nversion %s\n",
            record.executable != nullptr ? record.executable : "",
            record.mainClass != nullptr ? record.mainClass : "",
            record.runtimeHome != nullptr ? record.runtimeHome : "",
            record.runtimeVersion != nullptr ? record.runtimeVersion : "");
    fprintf(file, "classes %lld %d %d\n", record.classes, record.remakes, record.uses);
    return fflush(file) == 0 && ferror(file) == 0;
}

int cacheRecord::write(const char* path) const {
    ownedString temporary(createString(path, ".XXXXXX"));
    int fd = mkstemp(temporary.get());
    int written = 0;
    if (fd >= 0) {
        FILE* file = fdopen(fd, "w");
        written = print(file, *this);
        written = fclose(file) == 0 && written && rename(temporary.get(), path) == 0;
    }
    if (!written) {
        unlink(temporary.get());
    }
    return written;
}

// The same length as before takes no new block of the file system, so this
// works on a full disk too.
int cacheRecord::writeInPlace(const char* path) const {
    int fd = open(path, O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    struct stat status;
    if (fd < 0 || fstat(fd, &status) != 0 || !isOwnAndClosed(status)) {
        if (fd >= 0) {
            close(fd);
        }
        return 0;
    }
    FILE* file = fdopen(fd, "w");
    if (file == nullptr) {
        close(fd);
        return 0;
    }
    int written = print(file, *this) && ftruncate(fd, ftell(file)) == 0 && fsync(fd) == 0;
    return fclose(file) == 0 && written;
}

static unsigned long long mix(unsigned long long lane, unsigned long long word) {
    lane ^= word;
    lane *= 0x9e3779b97f4a7c15ull;
    return lane ^ (lane >> 29);
}

unsigned long long computeFileChecksum(const char* path, int* ok) {
    *ok = 0;
    int fd = open(path, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    static const size_t chunkSize = 1 << 17;
    ownedArray<unsigned char> chunk(new unsigned char[chunkSize]);
    unsigned long long lanes[4] = {1, 2, 3, 4};
    unsigned long long length = 0;
    ssize_t got;
    while ((got = ::read(fd, chunk.get(), chunkSize)) > 0) {
        // A short read leaves a tail that is padded with zeros.
        size_t padded = ((size_t)got + 31) & ~(size_t)31;
        memset(chunk.get() + got, 0, padded - (size_t)got);
        for (size_t i = 0; i < padded; i += 32) {
            for (int k = 0; k < 4; k++) {
                unsigned long long word;
                memcpy(&word, chunk.get() + i + 8 * k, 8);
                lanes[k] = mix(lanes[k], word);
            }
        }
        length += (unsigned long long)got;
    }
    close(fd);
    if (got < 0) {
        return 0;
    }
    *ok = 1;
    return mix(mix(lanes[0] ^ mix(lanes[1], 5), lanes[2] ^ mix(lanes[3], 7)), length);
}

static int isUnchanged(const struct stat& status, const cacheRecord& record) {
    return (unsigned long long)status.st_ino == record.inode &&
           (long long)status.st_ctim.tv_sec == record.changeSeconds &&
           (long long)status.st_ctim.tv_nsec == record.changeNanoseconds;
}

archiveState checkArchive(const char* archive, const char* recordPath, cacheRecord& record) {
    struct stat status;
    if (lstat(archive, &status) != 0) {
        return archiveMissing;
    }
    if (!isOwnAndClosed(status) || !record.read(recordPath) ||
        (unsigned long long)status.st_size != record.size) {
        return archiveDamaged;
    }
    if (isUnchanged(status, record)) {
        return archiveSound;
    }
    int ok;
    if (computeFileChecksum(archive, &ok) != record.checksum || !ok) {
        return archiveDamaged;
    }
    record.takeFileState(archive);
    record.write(recordPath);
    return archiveSound;
}
