#include "launcher/configureAndRun.h"

#include "config/configFile.h"
#include "launcher/commandChannel.h"
#include "launcher/zipComment.h"
#include "unix/exePath.h"
#include "unix/files.h"
#include "util/stringArray.h"
#include "util/strings.h"
#include "vm/javaVm.h"

#include <cstring>

namespace {

// What the driver owns while it works; released however the call ends, so a
// failure that travels up to main leaks nothing.
struct driverState {
    driverState(javaVm* vm, char* configName, char* exePath)
        : vm(vm), configName(configName), exePath(exePath), config(nullptr) {}
    ~driverState() {
        delete config;
        delete[] configName;
        delete[] exePath;
    }
    driverState(const driverState&) = delete;
    driverState& operator=(const driverState&) = delete;

    javaVm* vm;
    char* configName;
    char* exePath;
    configFile* config;
};

// Every "+CONFIG" file is read when its switch is met; only the last is used.
void useConfigFile(driverState& state, const char* path) {
    delete[] state.configName;
    state.configName = createAbsolutePath(nullptr, const_cast<char*>(path));
    configFile* next = new configFile(createStringCopy(state.configName), state.vm);
    delete state.config;
    state.config = next;
}

void readArguments(driverState& state, int argc, char** argv) {
    for (int i = 1; i < argc; i++) {
        const char* argument = argv[i];
        if (strcmp(argument, "+GUI") == 0) {
            gui = 1;
        } else if (strcmp(argument, "+SHELL") == 0) {
            shell = 1;
        } else if (strcmp(argument, "+DEBUG") == 0) {
            debug = 1;
        } else if (strcmp(argument, "+CONFIG") == 0) {
            if (i + 1 >= argc) {
                throw createStringCopy("+CONFIG must be followed by a path");
            }
            useConfigFile(state, argv[++i]);
        } else {
            state.vm->addParam(createStringCopy(argument));
        }
    }
}

// Without "+CONFIG": the comment of an archive appended to the executable,
// which then also serves as a class-path archive, else the default file.
void chooseConfiguration(driverState& state) {
    char* comment = getZipComment(state.exePath);
    if (comment != nullptr) {
        state.config = new configFile(createStringCopy(state.exePath), state.vm, comment);
        state.vm->addPath(createStringCopy(state.exePath));
    } else {
        state.config = new configFile(createStringCopy(state.configName), state.vm);
    }
}

void addExecutableOption(javaVm* vm) {
    char* executable = getExecutablePath();
    vm->addVmOption(createString("-Dlarkwin.executable.path=", executable));
    delete[] executable;
}

// Sends "open <absolute path>" per parameter; the first failure means no
// instance is listening, and the application is launched here instead. The
// "firstparam" parameters are the application's fixed start parameters, not
// what the user hands over, so they are not sent.
void forwardToInstance(javaVm* vm) {
    stringArray* params = vm->getParams();
    for (int i = vm->getFirstParamCount(); i < params->size() && shell; i++) {
        char* absolute = createAbsolutePath(nullptr, (*params)[i]);
        char* command = createString("open ", absolute);
        if (!sendCommand("127.0.0.1", vm->getSocketPort(), command)) {
            shell = 0;
        }
        delete[] command;
        delete[] absolute;
    }
    delete params;
}

} // namespace

void configureAndRun(javaVm* vm, char* configName, char* exePath, int argc, char** argv) {
    driverState state(vm, configName, exePath);
    debug = 0;
    gui = 0;
    shell = 0;
    readArguments(state, argc, argv);
    if (state.config == nullptr) {
        chooseConfiguration(state);
    }
    state.config->parse();
    addExecutableOption(vm);
    if (shell) {
        forwardToInstance(vm);
    }
    if (!shell) {
        vm->migrateDashJ();
        vm->run();
    }
}
