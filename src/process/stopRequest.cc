#include "process/stopRequest.h"

#include <cerrno>
#include <csignal>
#include <unistd.h>

static const int stopSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The stop signals that count, as watchStopSignals found them.
static sigset_t watched;
static volatile sig_atomic_t watching = 0;
static volatile sig_atomic_t requested = 0;
static volatile sig_atomic_t held = 0;
static sigset_t heldMask;
static volatile sig_atomic_t exitCodeOnStop = 0;

void watchStopSignals() {
    sigemptyset(&watched);
    for (int signal : stopSignals) {
        struct sigaction current;
        if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler != SIG_IGN) {
            sigaddset(&watched, signal);
        }
    }
    watching = 1;
}

void noteStopSignal(int signal) {
    if (watching && sigismember(&watched, signal) == 1) {
        requested = 1;
    }
}

void holdStopSignals(const sigset_t& maskToRestore) {
    sigset_t blocked = maskToRestore;
    if (watching) {
        for (int signal : stopSignals) {
            if (sigismember(&watched, signal) == 1) {
                sigaddset(&blocked, signal);
            }
        }
    }
    heldMask = maskToRestore;
    held = 1;
    sigprocmask(SIG_SETMASK, &blocked, nullptr);
}

int isStopRequested() {
    if (requested) {
        return 1;
    }
    sigset_t pending;
    if (!watching || sigpending(&pending) != 0) {
        return 0;
    }
    for (int signal : stopSignals) {
        if (sigismember(&watched, signal) == 1 && sigismember(&pending, signal) == 1) {
            return 1;
        }
    }
    return 0;
}

// What is left from now until deadline; false once it has passed.
static bool remainingUntil(const struct timespec& deadline, struct timespec* remaining) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    long long left = (deadline.tv_sec - now.tv_sec) * 1000000000LL + deadline.tv_nsec - now.tv_nsec;
    if (left <= 0) {
        return false;
    }
    remaining->tv_sec = (time_t)(left / 1000000000LL);
    remaining->tv_nsec = (long)(left % 1000000000LL);
    return true;
}

int awaitUnlessStopped(const struct timespec& deadline) {
    struct timespec remaining;
    while (remainingUntil(deadline, &remaining)) {
        // Without held signals there is nothing to wait for but the time.
        if (!held || !watching) {
            nanosleep(&remaining, nullptr);
            continue;
        }
        if (sigtimedwait(&watched, nullptr, &remaining) > 0) {
            requested = 1;
            return 1;
        }
        // EAGAIN: the time is up; EINTR: another handler ran, so wait on.
    }
    return 0;
}

static void exitWithChildsCode(int) {
    _exit(exitCodeOnStop);
}

void releaseStopSignals(int exitCode) {
    if (!held) {
        return;
    }
    exitCodeOnStop = exitCode;
    struct sigaction action = {};
    action.sa_handler = exitWithChildsCode;
    sigfillset(&action.sa_mask);
    for (int signal : stopSignals) {
        if (watching && sigismember(&watched, signal) == 1) {
            sigaction(signal, &action, nullptr);
        }
    }
    held = 0;
    sigprocmask(SIG_SETMASK, &heldMask, nullptr);
}
