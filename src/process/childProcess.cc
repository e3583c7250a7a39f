#include "process/childProcess.h"

#include "process/exitStatus.h"
#include "process/restartPace.h"
#include "process/signalForwarding.h"
#include "util/strings.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#include <sys/resource.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

// Said without stdio and without allocating: the child shares the launcher's
// memory until it executes java or ends.
static void reportExecFailure(char* path, int reason) {
    char intro[] = "Unable to execute ";
    char separator[] = ": ";
    char lineEnd[] = "\n";
    char* description = strerror(reason);
    struct iovec parts[] = {{intro, strlen(intro)},
                            {path, strlen(path)},
                            {separator, strlen(separator)},
                            {description, strlen(description)},
                            {lineEnd, strlen(lineEnd)}};
    ssize_t written;
    do {
        written = writev(STDERR_FILENO, parts, sizeof parts / sizeof parts[0]);
    } while (written < 0 && errno == EINTR);
}

// Java must not outlive a launcher that was killed (SIGKILL, or a signal it
// does not pass on): nobody would be left to pass on its status. On Linux the
// kernel sends the child SIGTERM when the launcher's thread that made it ends;
// the launcher runs on that one thread while it waits. The setting survives
// exec. A launcher killed before the setting took effect has left the child
// another parent already: then the child ends at once. Elsewhere java
// outlives a killed launcher.
static void endWithLauncher(pid_t launcher) {
#ifdef __linux__
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != launcher) {
        _exit(exitSignalBase + SIGTERM);
    }
#else
    (void)launcher;
#endif
}

// The child runs in the launcher's memory, which is lent to it until it
// executes java or ends (vfork), so that starting it copies neither the
// launcher's pages nor its page tables. Meanwhile the launcher is suspended;
// the child only makes system calls, changes nothing the launcher reads
// afterwards (its own stack frames below the launcher's, errno) and never
// returns. It must not go on as a second launcher: it ends at once,
// with none of the launcher's clean-up.
[[noreturn]] static void executeInChild(const signalForwarding& forwarding,
                                        const applicationChannel& channel, pid_t launcher,
                                        char* path, char** arguments) {
    forwarding.prepareChild();
    channel.prepareChild();
    endWithLauncher(launcher);
    execv(path, arguments);
    reportExecFailure(path, errno);
    _exit(exitCannotExecute);
}

[[noreturn]] static void throwWaitFailure() {
    throw createMessage("waitpid failed: %s", strerror(errno));
}

// Waits without reaping, so that the child's pid cannot be reused by another
// process while signals may still be forwarded to it.
static void waitUntilEnded(pid_t child) {
    siginfo_t info;
    while (waitid(P_PID, child, &info, WEXITED | WNOWAIT) != 0) {
        if (errno != EINTR) {
            throwWaitFailure();
        }
    }
}

// wait4 tells the CPU time (user and system) that the child and the
// children it waited for spent.
static int reap(pid_t child, long long* cpuMicroseconds) {
    int status;
    struct rusage usage;
    while (wait4(child, &status, 0, &usage) != child) {
        if (errno != EINTR) {
            throwWaitFailure();
        }
    }
    if (cpuMicroseconds != nullptr) {
        *cpuMicroseconds = ((long long)usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000 +
                           usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
    }
    if (WIFSIGNALED(status)) {
        return exitSignalBase + WTERMSIG(status);
    }
    return WEXITSTATUS(status);
}

int runChildProcess(signalForwarding& forwarding, char* path, char** arguments,
                    applicationChannel& channel, pid_t* childPid, long long* cpuMicroseconds) {
    // What is buffered now would otherwise be written after the child's own
    // output.
    fflush(stdout);
    fflush(stderr);
    pid_t launcher = getpid();
    noteChildStart();
    pid_t child = vfork();
    if (child < 0) {
        throw createMessage("fork failed: %s", strerror(errno));
    }
    if (child == 0) {
        executeInChild(forwarding, channel, launcher, path, arguments);
    }
    *childPid = child;
    forwarding.forwardTo(child);
    channel.closeWritingEnd();
    channel.relayUntilEnded(child);
    waitUntilEnded(child);
    forwarding.stop();
    return reap(child, cpuMicroseconds);
}

int runChildProcess(char* path, char** arguments) {
    signalForwarding forwarding;
    applicationChannel none(0);
    pid_t child = 0;
    return runChildProcess(forwarding, path, arguments, none, &child);
}
