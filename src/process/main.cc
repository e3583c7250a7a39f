// The launcher's entry: locate the executable, launch, then exit with the
// application's code or start again on its restart code.

#include "launcher/configureAndRun.h"
#include "process/brokenPipe.h"
#include "process/exitStatus.h"
#include "process/jniVmUnix.h"
#include "process/restartPace.h"
#include "unix/exePath.h"
#include "unix/files.h"
#include "util/strings.h"

#include <cstdio>
#include <cstdlib>
#include <new>

// The configuration beside the name the launcher was started by, else the one
// beside the real file when that name is a link.
static char* createDefaultConfigName(char* exePath) {
    char* name = createString(exePath, ".config");
    if (testFile(name)) {
        return name;
    }
    delete[] name;
    char* canonical = createCanonicalPath(exePath);
    name = createString(canonical != nullptr ? canonical : exePath, ".config");
    delete[] canonical;
    return name;
}

// Runs one launch; the launch description lives only inside, so its temporary
// files (environment dumps) are gone before the launcher exits or restarts.
static int launch(int argc, char** argv) {
    char* exePath = createExePath(argc > 0 ? argv[0] : nullptr);
    if (exePath == nullptr) {
        throw createStringCopy("Unable to determine binary path");
    }
    char* configName = createDefaultConfigName(exePath);
    HACKargv = argv;
    HACKexePath = exePath;
    int exitCode;
    int restart;
    {
        jniVmUnix vm;
        configureAndRun(&vm, configName, createStringCopy(exePath), argc, argv);
        exitCode = vm.getExitCode();
        restart = vm.shouldRestart();
    }
    if (restart) {
        restartUnlessStopped(exitCode);
    }
    return exitCode;
}

int main(int argc, char** argv, char**) {
    surviveBrokenPipe();
    int exitCode;
    try {
        exitCode = launch(argc, argv);
    } catch (char* message) {
        printf("%s\n", message);
        delete[] message;
        delete[] HACKexePath;
        exit(exitReportedFailure);
    } catch (std::bad_alloc&) {
        // Reported like any other failure rather than aborting.
        fputs("Out of memory\n", stdout);
        delete[] HACKexePath;
        exit(exitReportedFailure);
    }
    delete[] HACKexePath;
    exit(exitCode);
}
