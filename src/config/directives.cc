#include "config/directives.h"

#include "config/configFile.h"
#include "config/configLines.h"
#include "config/decimal.h"
#include "config/environmentDirectives.h"
#include "config/expansion.h"
#include "config/includes.h"
#include "config/parseChain.h"
#include "config/platformDirectives.h"
#include "config/unpackDirective.h"
#include "unix/exePath.h"
#include "unix/files.h"
#include "util/owned.h"
#include "util/strings.h"
#include "vm/javaVm.h"
#include "vm/moduleAccess.h"

#include <cstdio>
#include <cstring>

static char* createResolved(configFile& file, char* argument) {
    return createAbsolutePath(file.directory, argument);
}

static void applyInclude(configFile& file, javaVm&, char* argument) {
    includeFile(file, createResolved(file, argument));
}

static void applyTryInclude(configFile& file, javaVm&, char* argument) {
    includeFileIfPresent(file, createResolved(file, argument));
}

static void applyIncludeDir(configFile& file, javaVm&, char* argument) {
    includeDir(file, argument);
}

static void addPath(configFile& file, javaVm& vm, char* argument) {
    vm.addPath(createResolved(file, argument));
}

static void applyAddJars(configFile& file, javaVm&, char* argument) {
    addJars(file, argument, 0);
}

static void addBootPath(configFile& file, javaVm& vm, char* argument) {
    vm.addBootPath(createResolved(file, argument));
}

static void applyAddBootJars(configFile& file, javaVm&, char* argument) {
    addJars(file, argument, 1);
}

static void addSkipPath(configFile& file, javaVm& vm, char* argument) {
    vm.addSkipPath(createResolved(file, argument));
}

static void vmParam(configFile&, javaVm& vm, char* argument) {
    vm.addVmOption(createStringCopy(argument));
}

static void addExports(configFile&, javaVm& vm, char* argument) {
    addManifestAccess(vm.manifestExports, argument);
}

static void addOpens(configFile&, javaVm& vm, char* argument) {
    addManifestAccess(vm.manifestOpens, argument);
}

static void mainClass(configFile&, javaVm& vm, char* argument) {
    vm.setMainClass(createStringCopy(argument));
}

static void javaPath(configFile& file, javaVm& vm, char* argument) {
    vm.setJavaPath(createResolved(file, argument));
}

static void addParam(configFile&, javaVm& vm, char* argument) {
    vm.addParam(createStringCopy(argument));
}

static void firstParam(configFile&, javaVm& vm, char* argument) {
    vm.addFirstParam(createStringCopy(argument));
}

static void clearParams(configFile&, javaVm& vm, char*) {
    vm.clearParams();
}

static void restartCode(configFile&, javaVm& vm, char* argument) {
    vm.setRestartCode(readDecimal(argument));
}

// The option carries the argument as written, not the number read from it.
static void socketPort(configFile&, javaVm& vm, char* argument) {
    vm.setSocketPort(readDecimal(argument));
    vm.addVmOption(createString("-Dlarkwin.socket=", argument));
}

// An argument is refused rather than ignored, so that the line keeps room
// for a meaning of its own later.
static void expand(configFile& file, javaVm&, char* argument) {
    if (argument[0] != 0) {
        throw createMessage("Malformed expand '%s': expand stands alone on its line", argument);
    }
    file.expanding = 1;
    if (debug) {
        printf("expand: on for the rest of '%s'\n", file.fileName);
    }
}

// The one table: the portable directives, then the platform's own.
static const directive directives[] = {
    {"include", applyInclude},
    {"includedir", applyIncludeDir},
    {"addpath", addPath},
    {"addjars", applyAddJars},
    {"addbootpath", addBootPath},
    {"addbootjars", applyAddBootJars},
    {"addskippath", addSkipPath},
    {"vmparam", vmParam},
    {"mainclass", mainClass},
    {"javapath", javaPath},
    {"copyenv", applyCopyEnv},
    {"exportenv", applyExportEnv},
    {"addparam", addParam},
    {"clearparams", clearParams},
    {"restartcode", restartCode},
    {"socket", socketPort},
    {"expand", expand},
    {"firstparam", firstParam},
    {"tryinclude", applyTryInclude},
    {"crashdir", applyCrashDir},
    {"javaversion", applyJavaVersion},
    {"javasearch", applyJavaSearch},
    {"startupcache", applyStartupCache},
    {"shortruns", applyShortRuns},
    {"unpack", applyUnpack},
    {"addexports", addExports},
    {"addopens", addOpens},
};

const directive* findDirective(const char* word) {
    for (const directive& known : directives) {
        if (strcmp(word, known.word) == 0) {
            return &known;
        }
    }
    return nullptr;
}

void configFile::parse() {
    parseMark mark(canonicalName);
    forEachDirectiveLine(
        content,
        [](void* reader, char* word, char* argument) {
            static_cast<configFile*>(reader)->applyDirective(word, argument);
        },
        this);
}

void configFile::parseLine(char* line) {
    splitDirectiveLine(
        line,
        [](void* reader, char* word, char* argument) {
            static_cast<configFile*>(reader)->applyDirective(word, argument);
        },
        this);
}

// After "expand", the argument is expanded before the directive sees it.
void configFile::applyDirective(char* word, char* argument) {
    ownedString expanded(expanding ? createExpandedText(argument, directory) : nullptr);
    if (expanded != nullptr && debug && strchr(argument, '$') != nullptr) {
        printf("expand: %s %s\n", word, expanded.get());
    }
    argument = expanded != nullptr ? expanded.get() : argument;
    const directive* known = findDirective(word);
    if (known != nullptr) {
        known->apply(*this, *vm, argument);
        return;
    }
    if (specialDirective(vm, this, word, argument) != 0) {
        throw createMessage("Unrecognized directive '%s'", word);
    }
}
