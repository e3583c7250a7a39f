#include "config/platformDirectives.h"

#include "cache/cacheDirectory.h"
#include "config/configFile.h"
#include "runtime/versionRequirement.h"
#include "unix/files.h"
#include "util/strings.h"

#include <cstdlib>
#include <cstring>

static void javaVersion(javaVm* vm, configFile*, char* argument) {
    if (!parseVersionRequirement(argument, &vm->javaVersion)) {
        throw createMessage("Malformed javaversion '%s': write a feature release such as 17, "
                            "or a range such as 11-17",
                            argument);
    }
}

static void javaSearch(javaVm* vm, configFile* file, char* argument) {
    vm->javaSearchDirs.append(createAbsolutePath(file->directory, argument));
}

// "startupcache [DIR]": keep start-up archives in DIR, resolved like the
// other paths, or by default in the user's cache directory.
static void startupCache(javaVm* vm, configFile* file, char* argument) {
    if (argument[0] != 0) {
        vm->setStartupCache(createAbsolutePath(file->directory, argument));
    } else {
        vm->setStartupCache(createDefaultCacheDirectory(getenv("XDG_CACHE_HOME"), getenv("HOME")));
    }
}

struct platformDirective {
    const char* word;
    void (*apply)(javaVm* vm, configFile* file, char* argument);
};

static const platformDirective platformDirectives[] = {
    {"javaversion", javaVersion},
    {"javasearch", javaSearch},
    {"startupcache", startupCache},
};

int specialDirective(javaVm* vm, configFile* file, char* word, char* argument) {
    for (const platformDirective& known : platformDirectives) {
        if (strcmp(word, known.word) == 0) {
            known.apply(vm, file, argument);
            return 0;
        }
    }
    return -1;
}
