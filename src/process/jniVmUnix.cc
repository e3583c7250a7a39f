#include "process/jniVmUnix.h"

#include "cache/cacheControl.h"
#include "cache/cacheDirectory.h"
#include "cache/shortRuns.h"
#include "cache/startupCache.h"
#include "notify/applicationChannel.h"
#include "process/argumentFile.h"
#include "process/childProcess.h"
#include "process/crashReport.h"
#include "runtime/javaPath.h"
#include "runtime/javaRuntime.h"
#include "runtime/javaSearch.h"
#include "unix/exePath.h"
#include "util/owned.h"
#include "util/strings.h"
#include "vm/moduleAccess.h"

#include <cstdio>
#include <cstring>
#include <ctime>

jniCreateVmPtr createPtr = nullptr;

// What a crash directory keeps: reports are small, heap dumps as large as
// the heap; the newest is kept whatever its size.
static const int keptCrashFiles = 10;
static const long long keptCrashBytes = 1024LL * 1024 * 1024;

namespace {
// The java command line: a null-terminated vector of borrowed strings, except
// the joined paths, which it owns. Each argument has its own format for the
// echo under +DEBUG (null: not echoed).
class commandLine {
  public:
    explicit commandLine(int capacity)
        : items(new char*[capacity + 1]), echoFormats(new const char*[capacity]), count(0) {
        items[0] = nullptr;
    }
    commandLine(const commandLine&) = delete;
    commandLine& operator=(const commandLine&) = delete;

    void add(char* argument, const char* echoFormat) {
        echoFormats[count] = echoFormat;
        items[count++] = argument;
        items[count] = nullptr;
    }
    void addOwned(char* argument, const char* echoFormat) {
        owned.append(argument);
        add(argument, echoFormat);
    }
    // Puts argument (owned) in place of the arguments from first up to last.
    void replace(int first, int last, char* argument, const char* echoFormat) {
        owned.append(argument);
        items[first] = argument;
        echoFormats[first] = echoFormat;
        int removed = last - first - 1;
        for (int i = last; i < count; i++) {
            items[i - removed] = items[i];
            echoFormats[i - removed] = echoFormats[i];
        }
        count -= removed;
        items[count] = nullptr;
    }
    void echo() const {
        for (int i = 0; debug && i < count; i++) {
            if (echoFormats[i] != nullptr) {
                printf(echoFormats[i], items[i]);
            }
        }
    }
    int size() const { return count; }
    char** getItems() const { return items.get(); }

  private:
    ownedArray<char*> items;
    ownedArray<const char*> echoFormats;
    int count;
    stringArray owned;
};

// Java 9 and later reject "/p:" (prepend) for the boot path and read
// argument files.
int isJava9OrLater(javaRuntime& runtime) {
    return runtime.getFeatureVersion() >= 9;
}

// The echo spells out "-classpath" where the argument is "-cp".
void appendClassPath(commandLine& line, const javaVm& vm) {
    if (vm.classPath.size() > 0) {
        // The argument vector holds char*, as execv takes it.
        static char classPathOption[] = "-cp";
        line.add(classPathOption, nullptr);
        line.addOwned(vm.createPath(&vm.classPath), "-classpath %s ");
    }
}

// Java 9 and later take only "/a:" (append) for the boot path.
void appendBootPath(commandLine& line, const javaVm& vm, javaRuntime& runtime) {
    if (vm.bootPath.size() > 0) {
        ownedString joined(vm.createPath(&vm.bootPath));
        const char* option = isJava9OrLater(runtime) ? "-Xbootclasspath/a:" : "-Xbootclasspath/p:";
        line.addOwned(createString(option, joined.get()), "%s ");
    }
}

// Each entry is one argument: nothing is quoted.
void appendEach(commandLine& line, const stringArray& list, const char* echoFormat) {
    for (int i = 0; i < list.size(); i++) {
        line.add(list[i], echoFormat);
    }
}

// The arguments before the main class from the first that exec would refuse
// as too long to the last such one (with the "-cp" before a class path) go to
// an argument file, which java reads from Java 9 on. Older or unknown
// runtimes, and too long parameters, are left to exec, which refuses them.
void moveLongOptionsToFile(commandLine& line, int mainClassIndex, argumentFile& file,
                           javaRuntime& runtime) {
    char** items = line.getItems();
    int first = 0;
    int last = 0;
    for (int i = 1; i < mainClassIndex; i++) {
        if (isTooLongForExec(items[i])) {
            first = first == 0 ? i : first;
            last = i + 1;
        }
    }
    if (first == 0 || !isJava9OrLater(runtime)) {
        return;
    }
    if (first > 1 && strcmp(items[first - 1], "-cp") == 0) {
        first--;
    }
    line.replace(first, last, file.createReference(items + first, last - first), "%s ");
}
// The stop signals are held from before the argument file exists until java
// runs, so that a signal on the way never leaves the file behind: it reaches
// java, and the file goes when java has ended.
int runJava(char* javaPath, commandLine& line, int mainClassIndex, javaRuntime& runtime,
            applicationChannel& channel, pid_t* child, long long* cpuMicroseconds) {
    signalForwarding forwarding;
    argumentFile file;
    moveLongOptionsToFile(line, mainClassIndex, file, runtime);
    line.echo();
    return runChildProcess(forwarding, javaPath, line.getItems(), channel, child, cpuMicroseconds);
}

// "crashdir": the JVM's reports and heap dumps go to directory, made when
// missing. Where it cannot be made they go where they would without it.
void useCrashDirectory(stringArray* options, const char* directory) {
    if (directory == nullptr) {
        return;
    }
    int failure = makeCacheDirectory(directory);
    if (failure != 0) {
        if (debug) {
            printf("Not using the crash directory '%s': %s\n", directory, strerror(failure));
        }
        return;
    }
    if (debug) {
        printf("crashdir: crash reports and heap dumps go to '%s'\n", directory);
    }
    addCrashDirectoryOptions(options, directory);
}
} // namespace

jniVmUnix::jniVmUnix() {}

jniCreateVmPtr jniVmUnix::getJniCreateVmPtr(char*) {
    return createPtr;
}

void jniVmUnix::run() {
    if (mainClass == nullptr) {
        throw createStringCopy("Main class not defined.");
    }
    if (usesJavaSearch(javaVersion, javaSearchDirs)) {
        setJavaPath(createChosenJavaPath(javaPath, javaVersion, javaSearchDirs));
    } else if (javaPath == nullptr) {
        setJavaPath(getJavaPath());
    }
    if (runCacheCommand(*this)) {
        setExitCode(0);
        return;
    }
    javaRuntime runtime(javaPath);
    useManifestAccess(*this, runtime);
    startupCache cache(*this, runtime);
    shortRuns compilers(*this, cache);
    stringArray crashOptions;
    useCrashDirectory(&crashOptions, crashDirectory);
    applicationChannel channel(1);
    commandLine line(cache.getOptions().size() + compilers.getOptions().size() +
                     crashOptions.size() + vmOptions.size() + params.size() + 6);
    line.add(javaPath, "%s ");
    appendClassPath(line, *this);
    appendBootPath(line, *this, runtime);
    appendEach(line, cache.getOptions(), "%s ");
    appendEach(line, compilers.getOptions(), "%s ");
    appendEach(line, crashOptions, "%s ");
    appendEach(line, vmOptions, "%s ");
    if (channel.isOpen()) {
        line.addOwned(channel.createPropertyOption(), "%s ");
    }
    int mainClassIndex = line.size();
    line.add(mainClass, "%s");
    appendEach(line, params, " %s");
    time_t started = time(nullptr);
    pid_t child = 0;
    long long cpuMicroseconds = -1;
    int status =
        runJava(javaPath, line, mainClassIndex, runtime, channel, &child, &cpuMicroseconds);
    if (status != 0) {
        const char* errorFile = findErrorFilePattern(vmOptions);
        reportCrash(errorFile != nullptr ? errorFile : findErrorFilePattern(crashOptions), child,
                    started);
    }
    if (crashDirectory != nullptr) {
        boundCrashDirectory(crashDirectory, keptCrashFiles, keptCrashBytes, started);
    }
    compilers.finish(status, cpuMicroseconds);
    cache.finish(status);
    setExitCode(status);
}
