#include "pack/toolProcess.h"

#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

[[noreturn]] static void runInChild(char** arguments, int pipeEnds[2]) {
    close(pipeEnds[0]);
    if (dup2(pipeEnds[1], STDOUT_FILENO) >= 0) {
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
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        throw createStringCopy("pipe failed");
    }
    fflush(stdout);
    fflush(stderr);
    pid_t child = fork();
    if (child < 0) {
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        throw createStringCopy("fork failed");
    }
    if (child == 0) {
        runInChild(arguments, pipeEnds);
    }
    close(pipeEnds[1]);
    readAll(pipeEnds[0], output);
    close(pipeEnds[0]);
    return waitForChild(child);
}

void runToolOrFail(char** arguments, stringBuffer* output) {
    int status = runTool(arguments, output);
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
