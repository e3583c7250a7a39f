#include "pack/tools/jdkTools.h"

#include "pack/tools/toolProcess.h"
#include "runtime/runtimeRelease.h"
#include "unix/exePath.h"
#include "unix/files.h"
#include "util/stringArray.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

static char* createToolPath(const char* home, const char* tool) {
    char* bin = createString(home, "/bin/");
    char* path = createString(bin, tool);
    delete[] bin;
    return path;
}

static char* createHomeOnPath() {
    char name[] = "java";
    char* java = createExePath(name);
    char* canonical = java != nullptr ? createCanonicalPath(java) : nullptr;
    delete[] java;
    if (canonical == nullptr) {
        throw createStringCopy("no JDK found: set JAVA_HOME or put a JDK's java on the PATH");
    }
    char up[] = "../..";
    char* home = createAbsolutePath(canonical, up);
    delete[] canonical;
    return home;
}

char* createJdkHome() {
    const char* javaHome = getenv("JAVA_HOME");
    char* home =
        javaHome != nullptr && javaHome[0] != 0 ? createStringCopy(javaHome) : createHomeOnPath();
    char* jlink = createToolPath(home, "jlink");
    int found = testFile(jlink);
    delete[] jlink;
    if (!found) {
        char* message = createMessage("'%s' has no bin/jlink: name a JDK by JAVA_HOME", home);
        delete[] home;
        throw message;
    }
    return home;
}

// The JDK's feature version from its release file, or 0 when it does not say.
static int getFeatureVersion(const char* jdkHome) {
    return runtimeRelease(jdkHome).getFeatureVersion();
}

static int isModuleListCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == ',' || c == '$';
}

// The list is the last line made of module names and commas: warnings (such
// as one about a package split between a jar and the runtime) come first.
char* createJdepsModuleList(const char* printed, int length, const char* extraModules) {
    int found = -1;
    int foundLength = 0;
    for (int begin = 0; begin < length;) {
        int end = begin;
        while (end < length && printed[end] != '\n' && printed[end] != '\r') {
            end++;
        }
        int whole = end > begin;
        for (int i = begin; i < end && whole; i++) {
            whole = isModuleListCharacter(printed[i]);
        }
        if (whole) {
            found = begin;
            foundLength = end - begin;
        }
        begin = end + 1;
    }
    if (found < 0) {
        throw createStringCopy("jdeps printed no list of modules");
    }
    stringBuffer list;
    list.append(printed + found, foundLength);
    if (extraModules != nullptr && extraModules[0] != 0) {
        list.append(',');
        list.append(extraModules);
    }
    return list.createString();
}

char* createModuleList(const char* jdkHome, const stringArray& jars, const char* extraModules) {
    char* jdeps = createToolPath(jdkHome, "jdeps");
    // Multi-release jars are read as this JDK's runtime would read them.
    char version[16];
    int feature = getFeatureVersion(jdkHome);
    snprintf(version, sizeof version, "%d", feature);
    char multiRelease[] = "--multi-release";
    char printDeps[] = "--print-module-deps";
    char ignoreMissing[] = "--ignore-missing-deps";
    char** arguments = new char*[6 + jars.size()];
    int count = 0;
    arguments[count++] = jdeps;
    if (feature >= 9) {
        arguments[count++] = multiRelease;
        arguments[count++] = version;
    }
    arguments[count++] = printDeps;
    arguments[count++] = ignoreMissing;
    for (int i = 0; i < jars.size(); i++) {
        arguments[count++] = jars[i];
    }
    arguments[count] = nullptr;
    stringBuffer printed;
    try {
        runToolOrFail(arguments, &printed);
    } catch (char*) {
        delete[] arguments;
        delete[] jdeps;
        throw;
    }
    delete[] arguments;
    delete[] jdeps;
    return createJdepsModuleList(printed.getData(), printed.getLength(), extraModules);
}

// Without this archive the runtime starts slower, and a dynamic archive of
// the application's classes cannot be made on top of it. jlink's own
// --generate-cds-archive (JDK 17 on) would add a second archive, 10 MB for
// heaps beyond 32 GB only, and is not in older JDKs; the dump makes just the
// one that the runtime uses by default.
static void dumpBaseArchive(const char* runtime) {
    char* java = createToolPath(runtime, "java");
    char option[] = "-Xshare:dump";
    char* arguments[] = {java, option, nullptr};
    stringBuffer printed;
    try {
        runToolOrFail(arguments, &printed);
    } catch (char*) {
        delete[] java;
        throw;
    }
    delete[] java;
    char* archive = createString(runtime, "/lib/server/classes.jsa");
    int made = testFile(archive);
    delete[] archive;
    if (!made) {
        throw createMessage("the runtime in '%s' made no lib/server/classes.jsa", runtime);
    }
}

void linkRuntime(const char* jdkHome, const char* modules, const char* output) {
    char* jlink = createToolPath(jdkHome, "jlink");
    const char* arguments[] = {jlink,           "--add-modules",  modules,
                               "--strip-debug", "--no-man-pages", "--no-header-files",
                               "--output",      output,           nullptr};
    stringBuffer printed;
    try {
        runToolOrFail(const_cast<char**>(arguments), &printed);
    } catch (char*) {
        delete[] jlink;
        throw;
    }
    delete[] jlink;
    dumpBaseArchive(output);
}
