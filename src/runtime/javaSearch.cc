#include "runtime/javaSearch.h"

#include "runtime/javaPath.h"
#include "runtime/runtimeChoice.h"
#include "runtime/runtimeChoiceReport.h"
#include "runtime/runtimeHomes.h"
#include "runtime/runtimeRelease.h"
#include "unix/exePath.h"
#include "unix/files.h"
#include "util/owned.h"
#include "util/stringArray.h"
#include "util/strings.h"

#include <cstdio>
#include <cstdlib>

int usesJavaSearch(const versionRequirement& required, const stringArray& searchDirs) {
    return isRequired(required) || searchDirs.size() > 0;
}

// The release file of home, when given and readable, else that of the home
// the canonical java lies in: JAVA_HOME's bin/java may be a link elsewhere.
static int getJavaVersion(const char* javaPath, const char* home) {
    if (home != nullptr) {
        runtimeRelease release(home);
        if (release.isKnown()) {
            return release.getFeatureVersion();
        }
    }
    ownedString canonicalHome(createRuntimeHome(javaPath));
    if (canonicalHome == nullptr) {
        return 0;
    }
    return runtimeRelease(canonicalHome.get()).getFeatureVersion();
}

// Takes javaPath over.
static void addJava(runtimeCandidates* candidates, char* javaPath, runtimeOrigin origin,
                    const char* home) {
    ownedString owned(javaPath);
    int exists = testFile(owned.get());
    int version = exists ? getJavaVersion(owned.get(), home) : 0;
    candidates->add(owned.release(), origin, exists, version);
}

// Joined as plain text, as discovery without the directives joins it.
static void addJavaHome(runtimeCandidates* candidates) {
    const char* home = getenv("JAVA_HOME");
    if (home != nullptr) {
        addJava(candidates, createString(home, "/bin/java"), javaHomeRuntime, home);
    }
}

// The java along PATH is often a chain of links into the runtime's home.
static void addPathJava(runtimeCandidates* candidates) {
    char name[] = "java";
    ownedString found(createExePath(name));
    if (found == nullptr) {
        return;
    }
    char* canonical = createCanonicalPath(found.get());
    if (canonical != nullptr) {
        found.reset(canonical);
    }
    addJava(candidates, found.release(), pathRuntime, nullptr);
}

static void addNamedRuntimes(runtimeCandidates* candidates, const char* configuredJavaPath) {
    if (configuredJavaPath != nullptr) {
        addJava(candidates, createStringCopy(configuredJavaPath), configuredRuntime, nullptr);
    }
    addJavaHome(candidates);
    addPathJava(candidates);
}

static void addSearchedRuntimes(runtimeCandidates* candidates, const stringArray& searchDirs) {
    for (int i = 0; i < searchDirs.size(); i++) {
        addRuntimeHomes(candidates, searchDirs[i]);
    }
    addInstalledRuntimes(candidates);
}

static void printTrace(const runtimeCandidates& candidates, const versionRequirement& required) {
    fputs(ownedString(createChoiceTrace(candidates, required)).get(), stdout);
}

static char* createFailure(const runtimeCandidates& candidates,
                           const versionRequirement& required) {
    if (candidates.size() > 0 && candidates[0].origin == configuredRuntime) {
        return createJavaPathMessage(candidates, required, getJavaDownloadPage());
    }
    return createNoRuntimeMessage(candidates, required, getJavaDownloadPage());
}

// The directories are looked through only when no runtime named by the
// configuration or the environment fits, which is the costly part; a failure
// looks through them all, to list what there is.
char* createChosenJavaPath(const char* configuredJavaPath, const versionRequirement& required,
                           const stringArray& searchDirs) {
    runtimeCandidates candidates;
    addNamedRuntimes(&candidates, configuredJavaPath);
    int chosen = chooseRuntime(candidates, required);
    if (chosen < 0) {
        addSearchedRuntimes(&candidates, searchDirs);
        chosen = chooseRuntime(candidates, required);
    }
    if (debug) {
        printTrace(candidates, required);
    }
    if (chosen < 0) {
        throw createFailure(candidates, required);
    }
    return createStringCopy(candidates[chosen].javaPath);
}
