#include "unix/childProcess.h"

#include "unix/exitStatus.h"
#include "unix/signalForwarding.h"
#include "util/strings.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

// The child must not go on as a second launcher: it ends at once, with none
// of the launcher's clean-up.
[[noreturn]] static void executeInChild(const signalForwarding& forwarding, char* path,
                                        char** arguments) {
    forwarding.prepareChild();
    execv(path, arguments);
    int reason = errno;
    fprintf(stderr, "Unable to execute %s: %s\n", path, strerror(reason));
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

static int reap(pid_t child) {
    int status;
    while (waitpid(child, &status, 0) != child) {
        if (errno != EINTR) {
            throwWaitFailure();
        }
    }
    if (WIFSIGNALED(status)) {
        return exitSignalBase + WTERMSIG(status);
    }
    return WEXITSTATUS(status);
}

int runChildProcess(char* path, char** arguments) {
    // What is buffered now would otherwise be written by both processes, or
    // after the child's own output.
    fflush(stdout);
    fflush(stderr);
    signalForwarding forwarding;
    pid_t child = fork();
    if (child < 0) {
        throw createStringCopy("fork failed");
    }
    if (child == 0) {
        executeInChild(forwarding, path, arguments);
    }
    forwarding.forwardTo(child);
    waitUntilEnded(child);
    forwarding.stop();
    return reap(child);
}
