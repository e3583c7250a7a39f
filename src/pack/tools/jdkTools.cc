#include "pack/tools/jdkTools.h"

#include "pack/base/reasonedFiles.h"
#include "pack/tools/toolProcess.h"
#include "pack/zip/classScan.h"
#include "pack/zip/zipArchive.h"
#include "pack/zip/zipMerge.h"
#include "runtime/runtimeRelease.h"
#include "unix/exePath.h"
#include "unix/files.h"
#include "util/owned.h"
#include "util/stringArray.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

static std::string getToolPath(const char* home, const char* tool) {
    return std::string(home) + "/bin/" + tool;
}

static char* createHomeOnPath() {
    char name[] = "java";
    ownedString java(createExePath(name));
    ownedString canonical(java != nullptr ? createCanonicalPath(java.get()) : nullptr);
    if (canonical == nullptr) {
        throw createStringCopy("no JDK found: set JAVA_HOME or put a JDK's java on the PATH");
    }
    char up[] = "../..";
    return createAbsolutePath(canonical.get(), up);
}

char* createJdkHome() {
    const char* javaHome = getenv("JAVA_HOME");
    ownedString home(javaHome != nullptr && javaHome[0] != 0 ? createStringCopy(javaHome)
                                                             : createHomeOnPath());
    std::string jlink = getToolPath(home.get(), "jlink");
    if (!testFile(&jlink[0])) {
        throw createMessage("'%s' has no bin/jlink: name a JDK by JAVA_HOME", home.get());
    }
    return home.release();
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
    std::vector<std::unique_ptr<zipArchive>> owners;
    std::vector<zipArchive*> archives;
    try {
        for (int i = 0; i < jars.size(); i++) {
            owners.emplace_back(new zipArchive(jars[i]));
            archives.push_back(owners.back().get());
        }
        stringArray dropped;
        stringArray notes;
        zipMerge merge(archives.data(), (int)archives.size(), &dropped, &notes);
        packOutputFile out(scratch);
        merge.write(out, 0, "");
        out.commit(0600);
        return 1;
    } catch (char* message) {
        // A merge that refuses leaves jdeps the jars themselves.
        ownedString refusal(message);
        return 0;
    }
}

static char* runJdeps(const char* jdkHome, const stringArray& roots) {
    std::string jdeps = getToolPath(jdkHome, "jdeps");
    // Multi-release jars are read as this JDK's runtime would read them.
    char version[16];
    int feature = getFeatureVersion(jdkHome);
    snprintf(version, sizeof version, "%d", feature);
    char multiRelease[] = "--multi-release";
    char printDeps[] = "--print-module-deps";
    char ignoreMissing[] = "--ignore-missing-deps";
    std::vector<char*> arguments = {&jdeps[0]};
    if (feature >= 9) {
        arguments.push_back(multiRelease);
        arguments.push_back(version);
    }
    arguments.push_back(printDeps);
    arguments.push_back(ignoreMissing);
    for (int i = 0; i < roots.size(); i++) {
        arguments.push_back(roots[i]);
    }
    arguments.push_back(nullptr);
    stringBuffer printed;
    runToolOrFail(arguments.data(), &printed);
    return createJdepsModuleList(printed.getData(), printed.getLength(), nullptr);
}

// An empty name is in no list: strstr would find it everywhere, without end.
static int listHas(const char* list, const char* module, char separator) {
    size_t length = strlen(module);
    if (length == 0) {
        return 0;
    }
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
    std::string list = modules;
    for (int i = 0; i < reflectionRuleCount; i++) {
        if (found[i] && !listHas(list.c_str(), reflectionModules[i], ',')) {
            list = list + "," + reflectionModules[i];
        }
    }
    return createStringCopy(list.c_str());
}

// The comma-separated list without the excluded modules (comma-separated,
// may be null); each one that it held is appended to removed when that is
// not null.
static std::string withoutModules(const std::string& list, const char* excluded,
                                  stringArray* removed) {
    std::string kept;
    for (size_t begin = 0; begin < list.size();) {
        size_t end = list.find(',', begin);
        end = end == std::string::npos ? list.size() : end;
        std::string module = list.substr(begin, end - begin);
        if (excluded != nullptr && listHas(excluded, module.c_str(), ',')) {
            if (removed != nullptr && removed->find(module.c_str(), strcmp) < 0) {
                removed->append(createStringCopy(module.c_str()));
            }
        } else if (!module.empty()) {
            kept += (kept.empty() ? "" : ",") + module;
        }
        begin = end + 1;
    }
    return kept;
}

char* createModuleList(const char* jdkHome, const stringArray& jars, const char* extraModules,
                       const char* scratch) {
    return createModuleList(jdkHome, jars, extraModules, nullptr, scratch, nullptr);
}

char* createModuleList(const char* jdkHome, const stringArray& jars, const char* extraModules,
                       const char* excludedModules, const char* scratch, stringArray* referenced) {
    stringArray roots;
    int merged = writeClassPathArchive(jars, scratch);
    for (int i = 0; i < (merged ? 1 : jars.size()); i++) {
        roots.append(createStringCopy(merged ? scratch : jars[i]));
    }
    // The scratch archive goes however jdeps ends.
    std::unique_ptr<const char, int (*)(const char*)> removal(scratch, unlink);
    ownedString found(runJdeps(jdkHome, roots));
    ownedString reached(createWithReflectionModules(found.get(), roots));
    removal.reset();
    std::string kept = withoutModules(reached.get(), excludedModules, referenced);
    // A module named on the command line brings the same companions as one
    // that jdeps found.
    std::string extra =
        withoutModules(extraModules != nullptr ? extraModules : "", excludedModules, nullptr);
    if (!extra.empty()) {
        kept += (kept.empty() ? "" : ",") + extra;
    }
    ownedString available(createAvailableModules(jdkHome));
    ownedString implied(createImpliedModules(kept.c_str(), available.get()));
    return createStringCopy(withoutModules(implied.get(), excludedModules, nullptr).c_str());
}

int runtimeHasModule(const char* runtime, const char* module) {
    ownedString modules(createAvailableModules(runtime));
    return listHas(modules.get(), module, ' ');
}

// Without this archive the runtime starts slower, and a dynamic archive of
// the application's classes cannot be made on top of it. jlink's own
// --generate-cds-archive (JDK 17 on) would add a second archive, 10 MB for
// heaps beyond 32 GB only, and is not in older JDKs; the dump makes just the
// one that the runtime uses by default.
static void dumpBaseArchive(const char* runtime) {
    std::string java = getToolPath(runtime, "java");
    char option[] = "-Xshare:dump";
    char* arguments[] = {&java[0], option, nullptr};
    stringBuffer printed;
    runToolOrFail(arguments, &printed);
    std::string archive = std::string(runtime) + "/lib/server/classes.jsa";
    if (!testFile(&archive[0])) {
        throw createMessage("the runtime in '%s' made no lib/server/classes.jsa", runtime);
    }
}

void linkRuntime(const char* jdkHome, const char* modules, const char* output, int keepDebug,
                 int baseArchive) {
    std::string jlink = getToolPath(jdkHome, "jlink");
    const char* arguments[] = {jlink.c_str(),    "--add-modules",     modules,
                               "--no-man-pages", "--no-header-files", "--output",
                               output,           "--strip-debug",     nullptr};
    if (keepDebug) {
        arguments[7] = nullptr;
    }
    stringBuffer printed;
    runToolOrFail(const_cast<char**>(arguments), &printed);
    if (baseArchive) {
        dumpBaseArchive(output);
    }
}
