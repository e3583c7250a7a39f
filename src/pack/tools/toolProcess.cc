#include "pack/tools/toolProcess.h"

#include "unix/removalOnSignal.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

[[noreturn]] static void runInChild(const char* directory, char** arguments, int pipeEnds[2],
                                    int errorsToo) {
    close(pipeEnds[0]);
    if (directory != nullptr && chdir(directory) != 0) {
        fprintf(stderr, "larkwin-pack: cannot enter '%s': %s\n", directory, strerror(errno));
        _exit(127);
    }
    if (dup2(pipeEnds[1], STDOUT_FILENO) >= 0 &&
        (!errorsToo || dup2(pipeEnds[1], STDERR_FILENO) >= 0)) {
        close(pipeEnds[1]);
        execv(arguments[0], arguments);
    }
    fprintf(stderr, "larkwin-pack: cannot execute '%s': %s\n", arguments[0], strerror(errno));
    _exit(127);
}

static void readAll(int input, stringBuffer* output) {
    char chunk[4096];
    for (;;) {
        ssize_t got = read(input, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        output->append(chunk, (int)got);
    }
}

static int waitForChild(pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return 127;
        }
    }
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

int runTool(char** arguments, stringBuffer* output) {
    return runToolIn(nullptr, arguments, output);
}

static int runToolWith(const char* directory, char** arguments, stringBuffer* output,
                       int errorsToo) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        throw createMessage("pipe failed: %s", strerror(errno));
    }
    fflush(stdout);
    fflush(stderr);
    // In a process group of its own, which a termination signal of
    // larkwin-pack's ends with all the tool started.
    pid_t child = forkRegisteredGroup();
    if (child < 0) {
        int reason = errno;
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        throw createMessage("fork failed: %s", strerror(reason));
    }
    if (child == 0) {
        runInChild(directory, arguments, pipeEnds, errorsToo);
    }
    close(pipeEnds[1]);
    readAll(pipeEnds[0], output);
    close(pipeEnds[0]);
    int status = waitForChild(child);
    unregisterProcessGroup(child);
    return status;
}

void runToolOrFail(char** arguments, stringBuffer* output) {
    runToolInOrFail(nullptr, arguments, output);
}

int runToolIn(const char* directory, char** arguments, stringBuffer* output) {
    return runToolWith(directory, arguments, output, 0);
}

static void runToolWithOrFail(const char* directory, char** arguments, stringBuffer* output,
                              int errorsToo) {
    int status = runToolWith(directory, arguments, output, errorsToo);
    if (status == 0) {
        return;
    }
    fwrite(output->getData(), 1, output->getLength(), stderr);
    char number[16];
    snprintf(number, sizeof number, "%d", status);
    stringBuffer message;
    message.append("'");
    message.append(arguments[0]);
    message.append("' failed with exit status ");
    message.append(number);
    throw message.createString();
}

void runToolInOrFail(const char* directory, char** arguments, stringBuffer* output) {
    runToolWithOrFail(directory, arguments, output, 0);
}

void runToolCollectingErrors(const char* directory, char** arguments, stringBuffer* output) {
    runToolWithOrFail(directory, arguments, output, 1);
}
