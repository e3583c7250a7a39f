#include "runtime/runtimeHomes.h"

#include "runtime/runtimeRelease.h"
#include "unix/exePath.h"
#include "util/stringArray.h"
#include "util/strings.h"

#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <strings.h>

// Adds home when it holds bin/java; 1 when it did.
static int addHome(runtimeCandidates* candidates, const char* home) {
    char* java = createString(home, "/bin/java");
    if (!testFile(java)) {
        delete[] java;
        return 0;
    }
    runtimeRelease release(home);
    candidates->add(java, searchedRuntime, 1, release.getFeatureVersion());
    return 1;
}

// The names of dir's entries, in strcmp order, so that the same runtimes are
// always seen in the same order (ties go to the first one seen).
static void addSortedNames(stringArray* names, const char* dir) {
    DIR* listing = opendir(dir);
    if (listing == nullptr) {
        return;
    }
    stringArray unsorted;
    while (struct dirent* entry = readdir(listing)) {
        if (entry->d_name[0] != '.') {
            unsorted.append(createStringCopy(entry->d_name));
        }
    }
    closedir(listing);
    while (unsorted.size() > 0) {
        int least = 0;
        for (int i = 1; i < unsorted.size(); i++) {
            if (strcmp(unsorted[i], unsorted[least]) < 0) {
                least = i;
            }
        }
        names->append(createStringCopy(unsorted[least]));
        unsorted.remove(least);
    }
}

static int acceptsAny(const char*) {
    return 1;
}

static int holds(const char* name, const char* word) {
    size_t length = strlen(word);
    for (const char* at = name; *at != 0; at++) {
        if (strncasecmp(at, word, length) == 0) {
            return 1;
        }
    }
    return 0;
}

// /opt holds every kind of software; only these names are taken for runtimes.
static int isNamedLikeJava(const char* name) {
    return holds(name, "jdk") || holds(name, "jre") || holds(name, "java");
}

// Each accepted subdirectory of dir, followed by below, as a home.
static void addSubdirectoryHomes(runtimeCandidates* candidates, const char* dir,
                                 int (*accepts)(const char* name), const char* below) {
    stringArray names;
    addSortedNames(&names, dir);
    for (int i = 0; i < names.size(); i++) {
        if (!accepts(names[i])) {
            continue;
        }
        char* prefix = createString(dir, "/");
        char* subdirectory = createString(prefix, names[i]);
        char* home = createString(subdirectory, below);
        addHome(candidates, home);
        delete[] home;
        delete[] subdirectory;
        delete[] prefix;
    }
}

void addRuntimeHomes(runtimeCandidates* candidates, const char* dir) {
    if (!addHome(candidates, dir)) {
        addSubdirectoryHomes(candidates, dir, acceptsAny, "");
    }
}

static void addHomeRuntimes(runtimeCandidates* candidates, const char* below) {
    const char* home = getenv("HOME");
    if (home != nullptr && *home != 0) {
        char* dir = createString(home, below);
        addRuntimeHomes(candidates, dir);
        delete[] dir;
    }
}

void addInstalledRuntimes(runtimeCandidates* candidates) {
    addRuntimeHomes(candidates, "/usr/lib/jvm");
    addRuntimeHomes(candidates, "/usr/java");
    addRuntimeHomes(candidates, "/usr/local/java");
    addRuntimeHomes(candidates, "/opt/java");
    addSubdirectoryHomes(candidates, "/opt", isNamedLikeJava, "");
    addHomeRuntimes(candidates, "/.sdkman/candidates/java");
    addHomeRuntimes(candidates, "/.jdks");
#ifdef __APPLE__
    addSubdirectoryHomes(candidates, "/Library/Java/JavaVirtualMachines", acceptsAny,
                         "/Contents/Home");
#endif
}
