#include "process/childProcess.h"
#include "processSupport.h"
#include "seccompSupport.h"

#include <cerrno>
#include <csignal>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace {
const char* standIn = LARKWIN_STAND_IN_JAVA;

// Runs path with no arguments beyond its own name; what the stand-in does is
// told by its LARKWIN_STANDIN_* variables.
int runAlone(const std::string& path) {
    std::string name = path;
    char* arguments[] = {&name[0], nullptr};
    return runChildProcess(&name[0], arguments);
}
} // namespace

TEST(ChildProcess, ReturnsTheChildsExitStatus) {
    for (int status : {0, 3, 255}) {
        scratchDir dir;
        processResult result = runForked(dir, [&] {
            setenv("LARKWIN_STANDIN_EXIT", std::to_string(status).c_str(), 1);
            printf("returned %d", runAlone(standIn));
            return 0;
        });
        EXPECT_EQ("returned " + std::to_string(status), result.out);
    }
}

TEST(ChildProcess, PathThatCannotBeExecutedGives127AndOneLineOnStandardError) {
    scratchDir dir;
    std::string missing = dir.path("missing/java");
    processResult result = runForked(dir, [&] {
        int code = runAlone(missing);
        printf("returned %d\n", code);
        return code;
    });
    EXPECT_EQ(127, result.status);
    EXPECT_EQ("returned 127\n", result.out);
    EXPECT_EQ("Unable to execute " + missing + ": No such file or directory\n", result.err);
}

TEST(ChildProcess, ChildEndedBySignalGives128PlusTheSignal) {
    scratchDir dir;
    processResult result = runForked(dir, [&] {
        setenv("LARKWIN_STANDIN_RAISE", std::to_string(SIGUSR1).c_str(), 1);
        return runAlone(standIn);
    });
    EXPECT_EQ(128 + SIGUSR1, result.status);
}

TEST(ChildProcess, ChildStartsWithAnEmptyMaskAndTheDispositionsTheLauncherWasGiven) {
    scratchDir dir;
    processResult result = runForked(dir, [&] {
        for (int sig : {SIGTERM, SIGINT, SIGQUIT, SIGUSR2, SIGCHLD}) {
            signal(sig, SIG_DFL);
        }
        // As under nohup: an ignored hangup stays ignored for the application.
        signal(SIGHUP, SIG_IGN);
        sigset_t blocked;
        sigemptyset(&blocked);
        sigaddset(&blocked, SIGUSR1);
        sigprocmask(SIG_BLOCK, &blocked, nullptr);
        setenv("LARKWIN_STANDIN_SIGNALS", dir.path("signals").c_str(), 1);
        return runAlone(standIn);
    });
    EXPECT_EQ(0, result.status);
    std::string signals = readFile(dir.path("signals"));
    EXPECT_EQ(std::string::npos, signals.find("blocked")) << signals;
    EXPECT_NE(std::string::npos, signals.find(std::to_string(SIGHUP) + " ignored")) << signals;
    for (int sig : {SIGTERM, SIGINT, SIGQUIT, SIGUSR2, SIGCHLD}) {
        EXPECT_EQ(std::string::npos, signals.find(std::to_string(sig) + " ignored")) << signals;
    }
}

// Reads the stand-in's pid once it waits for its signal; 0 after 20 seconds.
static pid_t readyChild(int fd) {
    struct pollfd ready = {fd, POLLIN, 0};
    char text[32] = {};
    if (poll(&ready, 1, 20000) != 1 || read(fd, text, sizeof text - 1) <= 0) {
        return 0;
    }
    return atoi(text);
}

// Starts a launcher (a forked process running the stand-in as its child)
// whose child waits for sig and then exits with 42. Returns the launcher;
// javaChild is the child's pid once it waits, 0 when it never said so.
static pid_t startLauncherOfWaitingChild(const scratchDir& dir, int sig, pid_t* javaChild) {
    int pipeEnds[2];
    *javaChild = 0;
    if (pipe(pipeEnds) != 0) {
        return -1;
    }
    pid_t launcher = startForked(dir, [&] {
        close(pipeEnds[0]);
        setenv("LARKWIN_STANDIN_AWAIT", std::to_string(sig).c_str(), 1);
        setenv("LARKWIN_STANDIN_READY_FD", std::to_string(pipeEnds[1]).c_str(), 1);
        setenv("LARKWIN_STANDIN_EXIT", "42", 1);
        return runAlone(standIn);
    });
    close(pipeEnds[1]);
    *javaChild = readyChild(pipeEnds[0]);
    close(pipeEnds[0]);
    return launcher;
}

TEST(ChildProcess, StopSignalsSentToTheLauncherReachTheChildWhoseStatusIsReturned) {
    for (int sig : {SIGTERM, SIGHUP, SIGINT, SIGQUIT, SIGUSR1, SIGUSR2}) {
        scratchDir dir;
        pid_t javaChild;
        pid_t launcher = startLauncherOfWaitingChild(dir, sig, &javaChild);
        ASSERT_NE(0, javaChild) << "signal " << sig;
        kill(launcher, sig);
        processResult result = finishForked(dir, launcher);
        ASSERT_EQ(42, result.status) << "signal " << sig;
        EXPECT_EQ(-1, kill(javaChild, 0)) << "signal " << sig;
        EXPECT_EQ(ESRCH, errno);
    }
}

// Only Linux has a parent-death signal.
#ifdef __linux__
TEST(ChildProcess, ChildIsSentSigtermWhenTheLauncherIsKilled) {
    scratchDir dir;
    processResult result = runForked(dir, [&] {
        // Adopts the stand-in when the launcher below dies, to see how it ends.
        prctl(PR_SET_CHILD_SUBREAPER, 1);
        scratchDir inner;
        pid_t javaChild;
        pid_t launcher = startLauncherOfWaitingChild(inner, SIGTERM, &javaChild);
        if (javaChild == 0) {
            return 2;
        }
        kill(launcher, SIGKILL);
        finishForked(inner, launcher);
        int status = 0;
        while (waitpid(javaChild, &status, 0) < 0 && errno == EINTR) {
        }
        // The stand-in exits with 42 on SIGTERM; its alarm ends it otherwise.
        return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
    });
    EXPECT_EQ(42, result.status);
}
#endif

// A launcher started with SIGCHLD ignored (some services do that) would have
// its child reaped by the kernel, before the wait, without the reset.
TEST(ChildProcess, InheritedIgnoredSigchldStillGivesTheChildsStatus) {
    scratchDir dir;
    processResult result = runForked(dir, [&] {
        signal(SIGCHLD, SIG_IGN);
        setenv("LARKWIN_STANDIN_EXIT", "7", 1);
        printf("%s", thrownMessage([&] { printf("returned %d|", runAlone(standIn)); }).c_str());
        return 0;
    });
    EXPECT_EQ(0, result.status);
    EXPECT_EQ("returned 7|", result.out);
}

#ifdef __linux__
// Each system call of the start and the wait, refused by the kernel: the
// launch ends with the message that names it, and the handlers are put back.
TEST(ChildProcess, RefusedForkAndWaitsAreReported) {
    struct refusal {
        std::vector<syscallRule> rules;
        const char* message;
    };
    std::vector<refusal> refusals = {
        {{failing(__NR_vfork, EAGAIN), failing(__NR_clone, EAGAIN)},
         "fork failed: Resource temporarily unavailable"},
        {{failing(__NR_waitid, ECHILD)}, "waitpid failed: No child processes"},
        {{failing(__NR_wait4, ECHILD)}, "waitpid failed: No child processes"},
    };
    for (const refusal& each : refusals) {
        scratchDir dir;
        processResult result = runForked(dir, [&] {
            signal(SIGTERM, SIG_DFL);
            // LeakSanitizer's check at the end of a sanitized stand-in waits
            // with wait4, which the filter may refuse.
            setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
            if (!installSyscallRules(each.rules)) {
                return 99;
            }
            printf("%s|", thrownMessage([&] { runAlone(standIn); }).c_str());
            struct sigaction current;
            sigaction(SIGTERM, nullptr, &current);
            printf("%d", current.sa_handler == SIG_DFL);
            // Ends without this process's own check at _exit, likewise.
            fflush(stdout);
            syscall(SYS_exit_group, 0);
            return 0;
        });
        if (result.status == 99) {
            GTEST_SKIP() << "seccomp filters cannot be installed here";
        }
        EXPECT_EQ(std::string(each.message) + "|1", result.out) << result.status << result.err;
    }
}
#endif
