#include "cache/shortRuns.h"

#include "cache/shortRunsRecord.h"
#include "cache/startupCache.h"
#include "unix/exePath.h"
#include "util/strings.h"
#include "vm/javaVm.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

static const char* const c1OnlyOption = "-XX:TieredStopAtLevel=1";

// Options that choose the compilers, or how much they compile, themselves.
static const char* const compilerPrefixes[] = {"-Xint", "-Xcomp", "-Xmixed", "-client", "-server"};
static const char* const compilerFlags[] = {
    "TieredStopAtLevel",
    "TieredCompilation",
    "CICompilerCount",
    "CICompilerCountPerCPU",
    "UseCompiler",
    "UseJVMCICompiler",
    "EnableJVMCI",
    "CompilationMode",
    "CompileThreshold",
    "Tier",
    "UseInterpreter",
    "NeverActAsServerClassMachine",
    "AlwaysActAsServerClassMachine",
};

static int namesCompilerFlag(const char* text) {
    for (const char* flag : compilerFlags) {
        if (strstr(text, flag) != nullptr) {
            return 1;
        }
    }
    return 0;
}

static int setsCompilers(const char* option) {
    for (const char* prefix : compilerPrefixes) {
        if (startsWith(option, prefix)) {
            return 1;
        }
    }
    return startsWith(option, "-XX:") && namesCompilerFlag(option + 4);
}

char* createCompilerRefusal(const stringArray& vmOptions) {
    for (int i = 0; i < vmOptions.size(); i++) {
        if (setsCompilers(vmOptions[i])) {
            return createMessage("the VM option '%s' sets the compilers up already", vmOptions[i]);
        }
    }
    const char* names[] = {"JAVA_TOOL_OPTIONS", "JDK_JAVA_OPTIONS", "_JAVA_OPTIONS"};
    for (const char* name : names) {
        const char* value = getenv(name);
        if (value != nullptr && (namesCompilerFlag(value) || strstr(value, "-Xint") != nullptr ||
                                 strstr(value, "-Xcomp") != nullptr)) {
            return createMessage("%s sets the compilers up already", name);
        }
    }
    return nullptr;
}

static void report(const char* format, const char* argument) {
    if (debug) {
        printf("shortruns: ");
        printf(format, argument);
        printf("\n");
    }
}

shortRuns::shortRuns(const javaVm& vm, const startupCache& cache) : timed(0), mode(allTiersMode) {
    if (vm.useShortRuns) {
        decide(vm, cache);
    }
}

void shortRuns::decide(const javaVm& vm, const startupCache& cache) {
    if (!vm.useStartupCache) {
        report("not used: %s", "it works with \"startupcache\", which the configuration lacks");
        return;
    }
    ownedString refusal(createCompilerRefusal(vm.vmOptions));
    if (refusal != nullptr) {
        report("not used: %s", refusal.get());
        return;
    }
    if (cache.getUserArchive() == nullptr) {
        report("not used: %s", "the start-up cache stands aside");
        return;
    }
    recordPath.reset(createString(cache.getUserArchive(), ".runs"));
    shortRunSample samples[keptRuns];
    int count = readShortRuns(recordPath.get(), samples, keptRuns);
    shortRunsChoice choice = chooseShortRunsMode(samples, count);
    mode = choice.mode;
    timed = cache.mapsArchiveOnly();
    ownedString said(createShortRunsReport(choice));
    report(timed ? "%s" : "%s (this run is not timed: it does not only map the archive)",
           said.get());
    if (mode == c1OnlyMode) {
        options.append(createStringCopy(c1OnlyOption));
    }
}

// A run that a signal ended, or that could not start, tells nothing of
// its mode.
void shortRuns::finish(int status, long long cpuMicroseconds) {
    if (!timed || status >= 126 || cpuMicroseconds < 0) {
        return;
    }
    timed = 0;
    if (!appendShortRun(recordPath.get(), {mode, cpuMicroseconds})) {
        report("not recorded: '%s' cannot be written, or is not the user's own", recordPath.get());
    }
}
