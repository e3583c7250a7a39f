#include "process/restartPace.h"

#include "notify/serviceManager.h"
#include "process/stopRequest.h"
#include "unix/exePath.h"

#include <cstdio>
#include <ctime>

static struct timespec childStart;
static int childStarted = 0;

void noteChildStart() {
    clock_gettime(CLOCK_MONOTONIC, &childStart);
    childStarted = 1;
}

struct timespec getRestartTurn() {
    struct timespec turn = childStart;
    turn.tv_sec += 1;
    return turn;
}

// A stop signal that came while the child ran or since, or that comes while
// the launcher waits for the restart's turn.
static int isStoppedBeforeTurn() {
    if (isStopRequested()) {
        return 1;
    }
    return childStarted && awaitUnlessStopped(getRestartTurn());
}

void restartUnlessStopped(int exitCode) {
    if (isStoppedBeforeTurn()) {
        if (debug) {
            printf("Not restarting: the launcher was asked to stop\n");
        }
        return;
    }
    // The service manager waits for the next "READY=1" of the application.
    notifyReloading();
    // Flushed before a stop signal may end the launcher without stdio.
    fflush(stdout);
    fflush(stderr);
    releaseStopSignals(exitCode);
    HACKrestart();
}
