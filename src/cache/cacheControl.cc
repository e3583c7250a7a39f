#include "cache/cacheControl.h"

#include "cache/cacheEviction.h"
#include "cache/cacheNames.h"
#include "cache/cacheRecord.h"
#include "unix/exePath.h"
#include "util/owned.h"
#include "util/strings.h"
#include "vm/javaVm.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

static void listArchive(const char* directory, const char* name, unsigned long long& total) {
    ownedString slashed(createString(directory, "/"));
    ownedString archive(createString(slashed.get(), name));
    ownedString recordPath(createString(archive.get(), ".info"));
    cacheRecord record;
    struct stat status;
    if (record.read(recordPath.get()) && stat(recordPath.get(), &status) == 0) {
        char when[32];
        time_t lastUse = status.st_mtim.tv_sec;
        strftime(when, sizeof when, "%Y-%m-%d %H:%M", localtime(&lastUse));
        printf("%s %8.1f MiB  %s (%s)  %s  %s\n", when, (double)record.size / (1024 * 1024),
               record.runtimeVersion, record.runtimeHome, record.mainClass, record.executable);
        total += record.size;
    }
}

void listCache(const char* directory) {
    DIR* listing = opendir(directory);
    unsigned long long total = 0;
    printf("last use            size      runtime  main class  executable\n");
    for (struct dirent* found = listing != nullptr ? readdir(listing) : nullptr; found != nullptr;
         found = readdir(listing)) {
        int length = getArchiveNameLength(found->d_name);
        if (length != 0 && found->d_name[length] == 0) {
            listArchive(directory, found->d_name, total);
        }
    }
    if (listing != nullptr) {
        closedir(listing);
    }
    printf("total %.1f MiB of %.1f MiB in %s\n", (double)total / (1024 * 1024),
           (double)getCacheSizeLimit() / (1024 * 1024), directory);
}

int clearCache(const char* directory, const char* prefix) {
    DIR* listing = opendir(directory);
    if (listing == nullptr) {
        return 0;
    }
    int removed = 0;
    for (struct dirent* found = readdir(listing); found != nullptr; found = readdir(listing)) {
        int length = getArchiveNameLength(found->d_name);
        if (length != 0 && startsWith(found->d_name, prefix) &&
            unlinkat(dirfd(listing), found->d_name, 0) == 0) {
            removed += found->d_name[length] == 0;
        }
    }
    closedir(listing);
    return removed;
}

int runCacheCommand(const javaVm& vm) {
    const char* command = getenv("LARKWIN_STARTUP_CACHE");
    if (!vm.useStartupCache || command == nullptr || vm.startupCacheDir == nullptr) {
        return 0;
    }
    if (strcmp(command, "list") == 0) {
        listCache(vm.startupCacheDir);
        return 1;
    }
    if (strcmp(command, "clear") != 0 && strcmp(command, "clear-all") != 0) {
        return 0;
    }
    ownedString prefix(strcmp(command, "clear") == 0 && vm.mainClass != nullptr
                           ? createNamePrefix(HACKexePath, vm.mainClass)
                           : createStringCopy(""));
    int removed = clearCache(vm.startupCacheDir, prefix.get());
    printf("removed %d archive%s from %s\n", removed, removed == 1 ? "" : "s", vm.startupCacheDir);
    return 1;
}
