// The launcher's entry: locate the executable, launch, then exit with the
// application's code or start again on its restart code.

#include "launcher/configureAndRun.h"
#include "process/brokenPipe.h"
#include "process/exitStatus.h"
#include "process/jniVmUnix.h"
#include "process/restartPace.h"
#include "unix/exePath.h"
#include "unix/files.h"
#include "unpack/unpackedCopy.h"
#include "util/owned.h"
#include "util/strings.h"

#include <cstdio>
#include <cstdlib>
#include <new>

// The configuration beside the name the launcher was started by, else the one
// beside the real file when that name is a link.
static char* createDefaultConfigName(const char* exePath) {
    ownedString name(createString(exePath, ".config"));
    if (testFile(name.get())) {
        return name.release();
    }
    ownedString canonical(createCanonicalPath(exePath));
    return createString(canonical ? canonical.get() : exePath, ".config");
}

// Runs one launch; the launch description lives only inside, so its temporary
// files (environment dumps) are gone before the launcher exits or restarts.
static int launch(int argc, char** argv) {
    ownedString exePath(createExePath(argc > 0 ? argv[0] : nullptr));
    if (!exePath) {
        throw createStringCopy("Unable to determine binary path");
    }
    ownedString configName(createDefaultConfigName(exePath.get()));
    ownedString exePathCopy(createStringCopy(exePath.get()));
    HACKargv = argv;
    // Released in main, which also reaches it after a failure.
    HACKexePath = exePath.release();
    int exitCode;
    int restart;
    {
        jniVmUnix vm;
        configureAndRun(&vm, configName.release(), exePathCopy.release(), argc, argv);
        exitCode = vm.getExitCode();
        restart = vm.shouldRestart();
    }
    if (restart) {
        // A private copy of the runtime is made again by the next start.
        removeTemporaryCopies();
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
