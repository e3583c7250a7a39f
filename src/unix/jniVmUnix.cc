#include "unix/jniVmUnix.h"

#include "runtime/startupCache.h"
#include "unix/childProcess.h"
#include "unix/exePath.h"
#include "unix/javaPath.h"
#include "util/strings.h"

#include <cstdio>

jniCreateVmPtr createPtr = nullptr;

namespace {
// The java command line: a null-terminated vector of borrowed strings, except
// the joined paths, which it owns. Under +DEBUG each argument is echoed as it
// is added, with its own format (null: not echoed).
class commandLine {
  public:
    explicit commandLine(int capacity) : items(new char*[capacity + 1]), count(0) {
        items[0] = nullptr;
    }
    ~commandLine() { delete[] items; }
    commandLine(const commandLine&) = delete;
    commandLine& operator=(const commandLine&) = delete;

    void add(char* argument, const char* echoFormat) {
        items[count++] = argument;
        items[count] = nullptr;
        if (debug && echoFormat != nullptr) {
            printf(echoFormat, argument);
        }
    }
    void addOwned(char* argument, const char* echoFormat) {
        owned.append(argument);
        add(argument, echoFormat);
    }
    char** getItems() const { return items; }

  private:
    char** items;
    int count;
    stringArray owned;
};

// The echo spells out "-classpath" where the argument is "-cp".
void appendClassPath(commandLine& line, const javaVm& vm) {
    if (vm.classPath.size() > 0) {
        line.add(const_cast<char*>("-cp"), nullptr);
        line.addOwned(vm.createPath(&vm.classPath), "-classpath %s ");
    }
}

void appendBootPath(commandLine& line, const javaVm& vm) {
    if (vm.bootPath.size() > 0) {
        char* joined = vm.createPath(&vm.bootPath);
        line.addOwned(createString("-Xbootclasspath/p:", joined), "%s ");
        delete[] joined;
    }
}

// Each entry is one argument: nothing is quoted.
void appendEach(commandLine& line, const stringArray& list, const char* echoFormat) {
    for (int i = 0; i < list.size(); i++) {
        line.add(list[i], echoFormat);
    }
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
    if (javaPath == nullptr) {
        setJavaPath(getJavaPath());
    }
    startupCache cache(*this);
    commandLine line(cache.getOptions().size() + vmOptions.size() + params.size() + 5);
    line.add(javaPath, "%s ");
    appendClassPath(line, *this);
    appendBootPath(line, *this);
    appendEach(line, cache.getOptions(), "%s ");
    appendEach(line, vmOptions, "%s ");
    line.add(mainClass, "%s");
    appendEach(line, params, " %s");
    int status = runChildProcess(javaPath, line.getItems());
    cache.finish(line.getItems());
    setExitCode(status);
}
