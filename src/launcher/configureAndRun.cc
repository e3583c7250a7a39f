#include "launcher/configureAndRun.h"

#include "config/configFile.h"
#include "launcher/commandChannel.h"
#include "launcher/openCommand.h"
#include "launcher/zipComment.h"
#include "unix/exePath.h"
#include "unix/files.h"
#include "util/owned.h"
#include "util/stringArray.h"
#include "util/strings.h"
#include "vm/javaVm.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// What the driver owns while it works; its owners release it however the
// call ends, so a failure that travels up to main leaks nothing.
struct driverState {
    driverState(javaVm* vm, char* configName, char* exePath)
        : vm(vm), configName(configName), exePath(exePath) {}

    javaVm* vm;
    ownedString configName;
    ownedString exePath;
    std::unique_ptr<configFile> config;
};

// Every "+CONFIG" file is read when its switch is met; only the last is used.
void useConfigFile(driverState& state, const char* path) {
    state.configName.reset(createAbsolutePath(nullptr, path));
    state.config.reset(new configFile(createStringCopy(state.configName.get()), state.vm));
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
    ownedString comment(getZipComment(state.exePath.get()));
    if (comment != nullptr) {
        ownedString name(createStringCopy(state.exePath.get()));
        state.config.reset(new configFile(name.release(), state.vm, comment.release()));
        state.vm->addPath(createStringCopy(state.exePath.get()));
    } else {
        state.config.reset(new configFile(createStringCopy(state.configName.get()), state.vm));
    }
}

void addExecutableOption(javaVm* vm) {
    ownedString executable(getExecutablePath());
    vm->addVmOption(createString("-Dlarkwin.executable.path=", executable.get()));
}

// A "-J-" parameter is a VM option for a launch here (migrateDashJ), not a
// file for the running instance to open.
int isVmOptionParameter(const char* param) {
    if (strncmp(param, "-J-", 3) != 0) {
        return 0;
    }
    if (debug) {
        printf("+SHELL: '%s' is a VM option, not forwarded\n", param);
    }
    return 1;
}

// Sends "open <absolute path>", or "open <URL>", per parameter; the first
// failure means no instance is listening, and the application is launched
// here instead. The "firstparam" parameters are the application's fixed start
// parameters, not what the user hands over, so they are not sent.
void forwardToInstance(javaVm* vm) {
    std::unique_ptr<stringArray> params(vm->getParams());
    for (int i = vm->getFirstParamCount(); i < params->size() && shell; i++) {
        if (isVmOptionParameter((*params)[i])) {
            continue;
        }
        ownedString command(createOpenCommand((*params)[i]));
        if (!sendCommand("127.0.0.1", vm->getSocketPort(), command.get())) {
            shell = 0;
        }
    }
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
