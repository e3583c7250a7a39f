#include "cache/cacheRefusal.h"

#include "cache/cacheDirectory.h"
#include "cache/cacheMechanism.h"
#include "util/strings.h"
#include "vm/javaVm.h"

#include <cstdlib>
#include <cstring>
#include <dirent.h>

static int isWildcard(const char* entry) {
    size_t length = strlen(entry);
    return length > 0 && entry[length - 1] == '*';
}

static int isFilledDirectory(const char* entry) {
    DIR* listing = opendir(entry);
    if (listing == nullptr) {
        return 0;
    }
    int filled = 0;
    for (struct dirent* found = readdir(listing); found != nullptr && !filled;
         found = readdir(listing)) {
        filled = strcmp(found->d_name, ".") != 0 && strcmp(found->d_name, "..") != 0;
    }
    closedir(listing);
    return filled;
}

// Class data sharing refuses a directory that holds anything, and the files
// a wildcard stands for are not known here.
static char* createPathRefusal(const stringArray& entries) {
    for (int i = 0; i < entries.size(); i++) {
        if (isWildcard(entries[i])) {
            return createMessage("the class path entry '%s' is a wildcard", entries[i]);
        }
        if (isFilledDirectory(entries[i])) {
            return createMessage("the class path directory '%s' is not empty", entries[i]);
        }
    }
    return nullptr;
}

static char* createOptionRefusal(const stringArray& options) {
    for (int i = 0; i < options.size(); i++) {
        if (takesCacheOver(options[i])) {
            return createMessage("the VM option '%s' takes class data sharing over", options[i]);
        }
    }
    const char* names[] = {"JAVA_TOOL_OPTIONS", "JDK_JAVA_OPTIONS", "_JAVA_OPTIONS"};
    for (const char* name : names) {
        const char* value = getenv(name);
        if (value != nullptr && takesCacheOverInText(value)) {
            return createMessage("%s holds options that take class data sharing over", name);
        }
    }
    return nullptr;
}

char* createLaunchRefusal(const javaVm& vm) {
    char* refusal = createOptionRefusal(vm.vmOptions);
    if (refusal == nullptr) {
        refusal = createPathRefusal(vm.classPath);
    }
    return refusal != nullptr ? refusal : createPathRefusal(vm.bootPath);
}

char* createDirectoryRefusal(const char* directory) {
    int failure = makeCacheDirectory(directory);
    if (failure != 0) {
        return createMessage("the cache directory '%s' cannot be created: %s", directory,
                             strerror(failure));
    }
    if (!isTrustedDirectory(directory)) {
        return createMessage(
            "the cache directory '%s' is not the user's own or others may write to it", directory);
    }
    if (isReplaceableByOthers(directory)) {
        return createMessage("others may write to the directory that holds '%s'", directory);
    }
    return nullptr;
}
