#include "pack/tools/jdkTools.h"

#include "pack/tools/toolProcess.h"
#include "pack/zip/classScan.h"
#include "pack/zip/zipArchive.h"
#include "pack/zip/zipMerge.h"
#include "runtime/runtimeRelease.h"
#include "unix/exePath.h"
#include "unix/files.h"
#include "unix/outputFile.h"
#include "util/stringArray.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

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

// The jars as the class path reads them, in one archive: the first of a
// name wins, module descriptors of all but the first are left out.
static int writeClassPathArchive(const stringArray& jars, const char* scratch) {
    int count = jars.size();
    zipArchive** archives = new zipArchive*[count];
    int opened = 0;
    int written = 0;
    try {
        for (; opened < count; opened++) {
            archives[opened] = new zipArchive(jars[opened]);
        }
        stringArray dropped;
        stringArray notes;
        zipMerge merge(archives, count, &dropped, &notes);
        outputFile out(scratch);
        merge.write(out, 0, "");
        out.commit(0600);
        written = 1;
    } catch (char* message) {
        // A merge that refuses leaves jdeps the jars themselves.
        delete[] message;
    }
    for (int i = 0; i < opened; i++) {
        delete archives[i];
    }
    delete[] archives;
    return written;
}

static char* runJdeps(const char* jdkHome, const stringArray& roots) {
    char* jdeps = createToolPath(jdkHome, "jdeps");
    // Multi-release jars are read as this JDK's runtime would read them.
    char version[16];
    int feature = getFeatureVersion(jdkHome);
    snprintf(version, sizeof version, "%d", feature);
    char multiRelease[] = "--multi-release";
    char printDeps[] = "--print-module-deps";
    char ignoreMissing[] = "--ignore-missing-deps";
    char** arguments = new char*[6 + roots.size()];
    int count = 0;
    arguments[count++] = jdeps;
    if (feature >= 9) {
        arguments[count++] = multiRelease;
        arguments[count++] = version;
    }
    arguments[count++] = printDeps;
    arguments[count++] = ignoreMissing;
    for (int i = 0; i < roots.size(); i++) {
        arguments[count++] = roots[i];
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
    return createJdepsModuleList(printed.getData(), printed.getLength(), nullptr);
}

static int listHas(const char* list, const char* module, char separator) {
    size_t length = strlen(module);
    for (const char* at = strstr(list, module); at != nullptr; at = strstr(at + 1, module)) {
        int starts = at == list || at[-1] == separator;
        int ends = at[length] == 0 || at[length] == separator;
        if (starts && ends) {
            return 1;
        }
    }
    return 0;
}

char* createImpliedModules(const char* modules, const char* available) {
    // Each module, and the module whose presence brings it in (null: always).
    const char* implied[][2] = {
        {"jdk.zipfs", nullptr},
        {"jdk.charsets", nullptr},
        {"jdk.localedata", nullptr},
        {"jdk.crypto.ec", nullptr},
        {"jdk.compiler", "java.compiler"},
        {"jdk.management", "java.management"},
        {"jdk.naming.dns", "java.naming"},
    };
    stringBuffer list;
    list.append(modules);
    for (const auto& rule : implied) {
        int wanted = rule[1] == nullptr || listHas(modules, rule[1], ',');
        if (wanted && listHas(available, rule[0], ' ') && !listHas(modules, rule[0], ',')) {
            list.append(',');
            list.append(rule[0]);
        }
    }
    return list.createString();
}

static char* createAvailableModules(const char* jdkHome) {
    runtimeRelease release(jdkHome);
    char* modules = release.createValue("MODULES");
    return modules != nullptr ? modules : createStringCopy("");
}

// Modules that a class reaches by reflection, by a text its class file
// holds: Ant, for one, loads javac as "com.sun.tools.javac.Main".
static const char* const reflectionTexts[] = {"com.sun.tools.javac.", "javax/tools/ToolProvider"};
static const char* const reflectionModules[] = {"jdk.compiler", "jdk.compiler"};
static const int reflectionRuleCount = sizeof reflectionTexts / sizeof reflectionTexts[0];

static char* createWithReflectionModules(const char* modules, const stringArray& roots) {
    int found[reflectionRuleCount] = {};
    for (int i = 0; i < roots.size(); i++) {
        zipArchive archive(roots[i]);
        findMentions(archive, reflectionTexts, reflectionRuleCount, found);
    }
    char* list = createStringCopy(modules);
    for (int i = 0; i < reflectionRuleCount; i++) {
        if (found[i] && !listHas(list, reflectionModules[i], ',')) {
            char* withComma = createString(list, ",");
            delete[] list;
            list = createString(withComma, reflectionModules[i]);
            delete[] withComma;
        }
    }
    return list;
}

char* createModuleList(const char* jdkHome, const stringArray& jars, const char* extraModules,
                       const char* scratch) {
    stringArray roots;
    int merged = writeClassPathArchive(jars, scratch);
    for (int i = 0; i < (merged ? 1 : jars.size()); i++) {
        roots.append(createStringCopy(merged ? scratch : jars[i]));
    }
    char* found = nullptr;
    char* reached = nullptr;
    try {
        found = runJdeps(jdkHome, roots);
        reached = createWithReflectionModules(found, roots);
    } catch (char*) {
        delete[] found;
        unlink(scratch);
        throw;
    }
    delete[] found;
    unlink(scratch);
    char* available = createAvailableModules(jdkHome);
    char* implied = createImpliedModules(reached, available);
    delete[] available;
    delete[] reached;
    stringBuffer list;
    list.append(implied);
    delete[] implied;
    if (extraModules != nullptr && extraModules[0] != 0) {
        list.append(',');
        list.append(extraModules);
    }
    return list.createString();
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

void linkRuntime(const char* jdkHome, const char* modules, const char* output, int keepDebug) {
    char* jlink = createToolPath(jdkHome, "jlink");
    const char* arguments[] = {
        jlink,      "--add-modules", modules,         "--no-man-pages", "--no-header-files",
        "--output", output,          "--strip-debug", nullptr};
    if (keepDebug) {
        arguments[7] = nullptr;
    }
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
