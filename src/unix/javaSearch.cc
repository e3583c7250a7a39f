#include "unix/javaSearch.h"

#include "runtime/runtimeChoice.h"
#include "runtime/runtimeChoiceReport.h"
#include "runtime/runtimeRelease.h"
#include "unix/exePath.h"
#include "unix/files.h"
#include "unix/javaPath.h"
#include "unix/runtimeHomes.h"
#include "util/strings.h"

#include <cstdio>
#include <cstdlib>

int usesJavaSearch(const javaVm& vm) {
    return isRequired(vm.javaVersion) || vm.javaSearchDirs.size() > 0;
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
    char* canonicalHome = createRuntimeHome(javaPath);
    if (canonicalHome == nullptr) {
        return 0;
    }
    runtimeRelease release(canonicalHome);
    delete[] canonicalHome;
    return release.getFeatureVersion();
}

// Takes javaPath over.
static void addJava(runtimeCandidates* candidates, char* javaPath, runtimeOrigin origin,
                    const char* home) {
    int exists = testFile(javaPath);
    candidates->add(javaPath, origin, exists, exists ? getJavaVersion(javaPath, home) : 0);
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
    char* found = createExePath(name);
    if (found == nullptr) {
        return;
    }
    char* canonical = createCanonicalPath(found);
    if (canonical != nullptr) {
        delete[] found;
        found = canonical;
    }
    addJava(candidates, found, pathRuntime, nullptr);
}

static void addNamedRuntimes(runtimeCandidates* candidates, const javaVm& vm) {
    if (vm.javaPath != nullptr) {
        addJava(candidates, createStringCopy(vm.javaPath), configuredRuntime, nullptr);
    }
    addJavaHome(candidates);
    addPathJava(candidates);
}

static void addSearchedRuntimes(runtimeCandidates* candidates, const javaVm& vm) {
    for (int i = 0; i < vm.javaSearchDirs.size(); i++) {
        addRuntimeHomes(candidates, vm.javaSearchDirs[i]);
    }
    addInstalledRuntimes(candidates);
}

static void printTrace(const runtimeCandidates& candidates, const versionRequirement& required) {
    char* trace = createChoiceTrace(candidates, required);
    fputs(trace, stdout);
    delete[] trace;
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
void chooseJavaPath(javaVm* vm) {
    runtimeCandidates candidates;
    addNamedRuntimes(&candidates, *vm);
    int chosen = chooseRuntime(candidates, vm->javaVersion);
    if (chosen < 0) {
        addSearchedRuntimes(&candidates, *vm);
        chosen = chooseRuntime(candidates, vm->javaVersion);
    }
    if (debug) {
        printTrace(candidates, vm->javaVersion);
    }
    if (chosen < 0) {
        throw createFailure(candidates, vm->javaVersion);
    }
    vm->setJavaPath(createStringCopy(candidates[chosen].javaPath));
}
