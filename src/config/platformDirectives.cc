#include "config/platformDirectives.h"

#include "cache/cacheDirectory.h"
#include "config/configFile.h"
#include "runtime/versionRequirement.h"
#include "unix/exePath.h"
#include "unix/files.h"
#include "util/owned.h"
#include "util/strings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

void applyJavaVersion(configFile&, javaVm& vm, char* argument) {
    if (!parseVersionRequirement(argument, &vm.javaVersion)) {
        throw createMessage("Malformed javaversion '%s': write a feature release such as 17, "
                            "or a range such as 11-17",
                            argument);
    }
}

void applyJavaSearch(configFile& file, javaVm& vm, char* argument) {
    vm.javaSearchDirs.append(createAbsolutePath(file.directory, argument));
}

char* createServiceDirectory(const char* value) {
    if (value == nullptr || value[0] != '/') {
        return nullptr;
    }
    char* first = createStringCopy(value);
    char* colon = strchr(first, ':');
    if (colon != nullptr) {
        *colon = 0;
    }
    return first;
}

// "startupcache [DIR]": keep start-up archives in DIR, resolved like the
// other paths, or by default in the service's cache directory when systemd
// made one, else in the user's cache directory.
void applyStartupCache(configFile& file, javaVm& vm, char* argument) {
    ownedString service(createServiceDirectory(getenv("CACHE_DIRECTORY")));
    if (argument[0] != 0) {
        vm.setStartupCache(createAbsolutePath(file.directory, argument));
    } else if (service != nullptr) {
        vm.setStartupCache(service.release());
    } else {
        vm.setStartupCache(createDefaultCacheDirectory(getenv("XDG_CACHE_HOME"), getenv("HOME")));
    }
}

void applyShortRuns(configFile&, javaVm& vm, char* argument) {
    if (argument[0] != 0) {
        throw createMessage("shortruns takes no argument: '%s'", argument);
    }
    vm.useShortRuns = 1;
}

char* createDefaultCrashDirectory(const char* stateDirectory, const char* xdgStateHome,
                                  const char* home, const char* name) {
    ownedString service(createServiceDirectory(stateDirectory));
    if (service != nullptr) {
        return createString(service.get(), "/crash");
    }
    ownedString stateHome;
    if (xdgStateHome != nullptr && xdgStateHome[0] == '/') {
        stateHome.reset(createString(xdgStateHome, "/"));
    } else if (home != nullptr && home[0] == '/') {
        stateHome.reset(createString(home, "/.local/state/"));
    } else {
        return nullptr;
    }
    ownedString application(createString(stateHome.get(), name));
    return createString(application.get(), "/crash");
}

// The launcher's file name, which names its application.
static char* createApplicationName() {
    const char* path = HACKexePath != nullptr ? HACKexePath : "larkwin";
    const char* slash = strrchr(path, '/');
    return createStringCopy(slash != nullptr ? slash + 1 : path);
}

// "crashdir [DIR]": the JVM's crash reports and heap dumps go to DIR,
// resolved like the other paths, or by default to the service's state
// directory or the user's (see createDefaultCrashDirectory).
void applyCrashDir(configFile& file, javaVm& vm, char* argument) {
    if (argument[0] != 0) {
        vm.setCrashDirectory(createAbsolutePath(file.directory, argument));
        return;
    }
    ownedString name(createApplicationName());
    char* directory = createDefaultCrashDirectory(
        getenv("STATE_DIRECTORY"), getenv("XDG_STATE_HOME"), getenv("HOME"), name.get());
    if (directory == nullptr && debug) {
        printf("crashdir: no state directory (neither STATE_DIRECTORY, XDG_STATE_HOME nor "
               "HOME is set); crash reports go where the JVM puts them\n");
    }
    vm.setCrashDirectory(directory);
}

// The platform's directives are rows of the one table (config/directives.h);
// no word is left to this hook.
int specialDirective(javaVm*, configFile*, char*, char*) {
    return -1;
}
