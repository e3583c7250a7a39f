#include "cache/cacheEviction.h"

#include "cache/cacheRecord.h"
#include "cache/vmShape.h"
#include "util/owned.h"
#include "util/strings.h"

#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

static const long long hour = 3600;
static const long long day = 24 * hour;
static const long long unusedSeenRecordAge = 30 * day;
static const unsigned long long defaultSizeLimit = 512ull * 1024 * 1024;

unsigned long long getCacheSizeLimit() {
    const char* text = getenv("LARKWIN_STARTUP_CACHE_LIMIT");
    unsigned long long limit = text != nullptr ? parseMemorySize(text) : 0;
    return limit != 0 ? limit : defaultSizeLimit;
}

static int isHex(const char* text, int length) {
    for (int i = 0; i < length; i++) {
        char c = text[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            return 0;
        }
    }
    return 1;
}

int getArchiveNameLength(const char* name) {
    const char* jsa = strstr(name, ".jsa");
    if (jsa == nullptr || jsa - name < 35) {
        return 0;
    }
    const char* key = jsa - 16;
    const char* application = key - 17;
    if (key[-1] != '-' || application[-1] != '-' || !isHex(key, 16) || !isHex(application, 16)) {
        return 0;
    }
    return (int)(jsa - name) + 4;
}

namespace {
// One archive with its record, as eviction sees it.
struct cachedArchive {
    char* name;
    int prefixLength;
    unsigned long long size;
    long long lastUse;
    int gone;
};

int byLastUseNewestFirst(const void* a, const void* b) {
    long long first = ((const cachedArchive*)a)->lastUse;
    long long second = ((const cachedArchive*)b)->lastUse;
    return first > second ? -1 : first < second ? 1 : 0;
}

long long ageOf(int directory, const char* name, long long now) {
    struct stat status;
    return fstatat(directory, name, &status, AT_SYMLINK_NOFOLLOW) == 0
               ? now - (long long)status.st_mtim.tv_sec
               : 0;
}

void removeAt(int directory, const char* archiveName) {
    const char* endings[] = {"", ".info", ".lock", ".loaders", ".runs"};
    for (const char* ending : endings) {
        ownedString name(createString(archiveName, ending));
        unlinkat(directory, name.get(), 0);
    }
}

int existsAt(int directory, const char* name) {
    struct stat status;
    return fstatat(directory, name, &status, AT_SYMLINK_NOFOLLOW) == 0;
}

int hasVanished(const char* executable) {
    struct stat status;
    return executable != nullptr && executable[0] == '/' && stat(executable, &status) != 0;
}

// A file of the cache that is not an archive with a record.
void sweepLeftover(int directory, const char* name, int archiveLength, long long now) {
    ownedString archiveName(createStringCopy(name));
    archiveName[archiveLength] = 0;
    int isArchive = name[archiveLength] == 0;
    int isRecord = strcmp(name + archiveLength, ".info") == 0;
    // A record of an image's archive is touched at each use of that archive.
    int isSeenRecord = strcmp(name + archiveLength, ".shipped") == 0;
    ownedString record(createString(archiveName.get(), ".info"));
    long long age = ageOf(directory, name, now);
    if (isArchive && !existsAt(directory, record.get()) && age > hour) {
        unlinkat(directory, name, 0);
    } else if (isSeenRecord && age > unusedSeenRecordAge) {
        unlinkat(directory, name, 0);
    } else if (!isArchive && !isRecord && !isSeenRecord &&
               !existsAt(directory, archiveName.get()) && age > day) {
        unlinkat(directory, name, 0);
    }
}

class archiveList {
  public:
    archiveList() : items(nullptr), count(0), capacity(0) {}
    ~archiveList() {
        for (int i = 0; i < count; i++) {
            delete[] items[i].name;
        }
        delete[] items;
    }
    archiveList(const archiveList&) = delete;
    archiveList& operator=(const archiveList&) = delete;

    void add(const char* archiveName, const cacheRecord& record, long long lastUse) {
        ownedString name(createStringCopy(archiveName));
        if (count == capacity) {
            capacity += 64;
            cachedArchive* grown = new cachedArchive[capacity];
            for (int i = 0; i < count; i++) {
                grown[i] = items[i];
            }
            delete[] items;
            items = grown;
        }
        cachedArchive& added = items[count++];
        added.name = name.release();
        added.prefixLength = (int)strlen(archiveName) - 4 - 16;
        added.size = record.size;
        added.lastUse = lastUse;
        added.gone = hasVanished(record.executable);
    }
    // An empty list has no array, which qsort may not be given.
    void sortNewestFirst() {
        if (count > 1) {
            qsort(items, (size_t)count, sizeof *items, byLastUseNewestFirst);
        }
    }
    int size() const { return count; }
    cachedArchive& operator[](int i) { return items[i]; }

  private:
    cachedArchive* items;
    int count;
    int capacity;
};

// Reads each archive's record; the rest is swept.
void collect(const char* path, DIR* listing, archiveList& archives, long long now) {
    int directory = dirfd(listing);
    for (struct dirent* found = readdir(listing); found != nullptr; found = readdir(listing)) {
        int length = getArchiveNameLength(found->d_name);
        if (length == 0) {
            continue;
        }
        if (strcmp(found->d_name + length, ".info") != 0) {
            sweepLeftover(directory, found->d_name, length, now);
            continue;
        }
        ownedString archiveName(createStringCopy(found->d_name));
        archiveName[length] = 0;
        ownedString slashed(createString(path, "/"));
        ownedString recordPath(createString(slashed.get(), found->d_name));
        cacheRecord record;
        struct stat status;
        if (existsAt(directory, archiveName.get()) && record.read(recordPath.get()) &&
            stat(recordPath.get(), &status) == 0) {
            archives.add(archiveName.get(), record, (long long)status.st_mtim.tv_sec);
        }
    }
}

int keysBefore(archiveList& archives, int index) {
    int keys = 0;
    for (int i = 0; i < index; i++) {
        keys += !archives[i].gone && archives[i].prefixLength == archives[index].prefixLength &&
                strncmp(archives[i].name, archives[index].name,
                        (size_t)archives[index].prefixLength) == 0;
    }
    return keys;
}
} // namespace

void evictArchives(const char* directory, unsigned long long limit) {
    DIR* listing = opendir(directory);
    if (listing == nullptr) {
        return;
    }
    archiveList archives;
    collect(directory, listing, archives, (long long)time(nullptr));
    archives.sortNewestFirst();
    for (int i = 0; i < archives.size(); i++) {
        archives[i].gone = archives[i].gone || keysBefore(archives, i) >= maxKeysPerApplication;
    }
    unsigned long long kept = 0;
    for (int i = 0; i < archives.size(); i++) {
        if (!archives[i].gone) {
            kept += archives[i].size;
            archives[i].gone = i > 0 && kept > limit;
        }
        if (archives[i].gone) {
            removeAt(dirfd(listing), archives[i].name);
        }
    }
    closedir(listing);
}
