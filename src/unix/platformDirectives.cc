#include "unix/platformDirectives.h"

#include "config/configFile.h"
#include "runtime/cacheDirectory.h"
#include "unix/files.h"

#include <cstdlib>
#include <cstring>

// "startupcache [DIR]": keep start-up archives in DIR, resolved like the
// other paths, or by default in the user's cache directory.
static void startupCache(javaVm* vm, configFile* file, char* argument) {
    if (argument[0] != 0) {
        vm->setStartupCache(createAbsolutePath(file->directory, argument));
    } else {
        vm->setStartupCache(createDefaultCacheDirectory(getenv("XDG_CACHE_HOME"), getenv("HOME")));
    }
}

int specialDirective(javaVm* vm, configFile* file, char* word, char* argument) {
    if (strcmp(word, "startupcache") == 0) {
        startupCache(vm, file, argument);
        return 0;
    }
    return -1;
}
