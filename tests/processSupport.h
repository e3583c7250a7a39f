#ifndef LARKWIN_TESTS_PROCESSSUPPORT_H
#define LARKWIN_TESTS_PROCESSSUPPORT_H

// Helpers for tests that run code in a process of its own: a forked child
// whose standard output and error go to files, bounded in time by an alarm,
// and the capture of this process's own standard output and error.

#include "testSupport.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

struct processResult {
    // The exit status, or 128 + n after signal n (SIGALRM: it ran too long).
    int status;
    std::string out;
    std::string err;
};

inline void redirectTo(int fd, const std::string& path) {
    int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(file, fd);
    close(file);
}

// Starts body in a forked child that ends with body's result. Its output goes
// to the files "stdout" and "stderr" in dir; it is killed after seconds.
template <typename F> pid_t startForked(const scratchDir& dir, F body, unsigned seconds = 60) {
    fflush(stdout);
    fflush(stderr);
    pid_t child = fork();
    if (child != 0) {
        return child;
    }
    alarm(seconds);
    redirectTo(1, dir.path("stdout"));
    redirectTo(2, dir.path("stderr"));
    int code = 250;
    try {
        code = body();
    } catch (...) {
    }
    fflush(stdout);
    fflush(stderr);
    _exit(code);
}

inline processResult finishForked(const scratchDir& dir, pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    processResult result;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = readFile(dir.path("stdout"));
    result.err = readFile(dir.path("stderr"));
    return result;
}

template <typename F>
processResult runForked(const scratchDir& dir, F body, unsigned seconds = 60) {
    return finishForked(dir, startForked(dir, body, seconds));
}

// Collects what this process writes on one descriptor (standard output
// unless told otherwise) while it lives.
class capturedOutput {
  public:
    explicit capturedOutput(const scratchDir& dir, int fd = 1)
        : file(dir.path("captured-" + std::to_string(fd))), fd(fd) {
        flushStreams();
        saved = dup(fd);
        redirectTo(fd, file);
    }
    ~capturedOutput() { restore(); }
    capturedOutput(const capturedOutput&) = delete;
    capturedOutput& operator=(const capturedOutput&) = delete;

    std::string text() {
        restore();
        return readFile(file);
    }

  private:
    static void flushStreams() {
        fflush(stdout);
        fflush(stderr);
    }
    void restore() {
        if (saved >= 0) {
            flushStreams();
            dup2(saved, fd);
            close(saved);
            saved = -1;
        }
    }

    std::string file;
    int fd;
    int saved;
};

// What f writes on standard output and standard error, run in this process;
// the status is always 0.
template <typename F> processResult outputOf(F f) {
    scratchDir dir;
    capturedOutput out(dir, 1);
    capturedOutput err(dir, 2);
    f();
    return {0, out.text(), err.text()};
}

#endif
