#include "pack/image/trainingRun.h"

#include "unix/removalOnSignal.h"
#include "util/strings.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

const int trainingSeconds = 600;
// How long a run that was asked to end may take to do so.
static const int endingSeconds = 10;

// The child gets the signal mask that larkwin-pack had, its streams, and
// the cache's training control.
[[noreturn]] static void runInChild(const trainingRun& run, const sigset_t* mask) {
    sigprocmask(SIG_SETMASK, mask, nullptr);
    int null = open("/dev/null", O_RDWR);
    if (null < 0 || dup2(null, STDIN_FILENO) < 0 ||
        dup2(run.quiet ? null : STDERR_FILENO, STDOUT_FILENO) < 0 ||
        (run.quiet && dup2(null, STDERR_FILENO) < 0)) {
        _exit(127);
    }
    setenv("LARKWIN_STARTUP_CACHE", run.control, 1);
    if (run.cacheHome != nullptr) {
        setenv("XDG_CACHE_HOME", run.cacheHome, 1);
    }
    execv(run.command[0], run.command);
    fprintf(stderr, "larkwin-pack: cannot execute '%s': %s\n", run.command[0], strerror(errno));
    _exit(127);
}

// Waits for the child's end until the deadline (CLOCK_MONOTONIC seconds);
// 1 with its status and usage when it ended, else 0. SIGCHLD is blocked
// meanwhile.
static int waitUntil(pid_t child, long long deadline, int* status, struct rusage* usage) {
    sigset_t childSignal;
    sigemptyset(&childSignal);
    sigaddset(&childSignal, SIGCHLD);
    for (;;) {
        pid_t ended = wait4(child, status, WNOHANG, usage);
        if (ended == child || (ended < 0 && errno != EINTR)) {
            return ended == child;
        }
        struct timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        if (now.tv_sec >= deadline) {
            return 0;
        }
        struct timespec left = {(time_t)(deadline - now.tv_sec), 0};
        sigtimedwait(&childSignal, nullptr, &left);
    }
}

static long long secondsFromNow(int seconds) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (long long)now.tv_sec + seconds;
}

static double secondsOf(const struct timeval& time) {
    return (double)time.tv_sec + (double)time.tv_usec / 1e6;
}

int runTraining(const trainingRun& run, double* cpuSeconds) {
    sigset_t childSignal, saved;
    sigemptyset(&childSignal);
    sigaddset(&childSignal, SIGCHLD);
    fflush(stdout);
    fflush(stderr);
    sigprocmask(SIG_BLOCK, &childSignal, &saved);
    pid_t child = forkRegisteredGroup();
    int forkError = errno;
    if (child == 0) {
        runInChild(run, &saved);
    }
    int status = 0;
    int result = -1;
    struct rusage usage = {};
    if (child > 0) {
        if (waitUntil(child, secondsFromNow(trainingSeconds), &status, &usage)) {
            result = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
        } else {
            kill(child, SIGTERM);
            if (!waitUntil(child, secondsFromNow(endingSeconds), &status, &usage)) {
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
            }
        }
    }
    unregisterProcessGroup(child);
    sigprocmask(SIG_SETMASK, &saved, nullptr);
    if (child < 0) {
        throw createMessage("fork failed: %s", strerror(forkError));
    }
    if (cpuSeconds != nullptr) {
        *cpuSeconds = secondsOf(usage.ru_utime) + secondsOf(usage.ru_stime);
    }
    return result;
}
