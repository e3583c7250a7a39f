#include "process/childProcess.h"
#include "process/signalForwarding.h"
#include "processSupport.h"
#include "seccompSupport.h"

#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#ifdef __linux__

namespace {
bool refuseSigactionFor(int signal) {
    return installSyscallRules(
        {{__NR_rt_sigaction, SECCOMP_RET_ERRNO | EINVAL, 0, (unsigned)signal}});
}

bool hasDefaultAction(int signal) {
    struct sigaction current;
    return sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_DFL;
}

bool isBlocked(int signal) {
    sigset_t mask;
    sigprocmask(SIG_BLOCK, nullptr, &mask);
    return sigismember(&mask, signal) == 1;
}
} // namespace

// The last forwarded signal's handler cannot be installed: nothing is
// started, and the handlers and the mask installed before it are undone.
TEST(SignalForwarding, FailedSetupIsReportedAndUndoneBeforeAnyChildStarts) {
    scratchDir dir;
    processResult result = runForked(dir, [&] {
        signal(SIGTERM, SIG_DFL);
        if (!refuseSigactionFor(SIGUSR2)) {
            return 99;
        }
        std::string java = LARKWIN_STAND_IN_JAVA;
        char* arguments[] = {&java[0], nullptr};
        setenv("LARKWIN_STANDIN_EXIT", "7", 1);
        printf("%s|", thrownMessage([&] { runChildProcess(&java[0], arguments); }).c_str());
        printf("%d%d%d", hasDefaultAction(SIGTERM), isBlocked(SIGTERM),
               waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD);
        return 0;
    });
    if (result.status == 99) {
        GTEST_SKIP() << "seccomp filters cannot be installed here";
    }
    EXPECT_EQ(0, result.status);
    EXPECT_EQ("sigaction failed: Invalid argument|101", result.out);
}

// The mask cannot be changed: nothing is started and no handler is left.
TEST(SignalForwarding, RefusedMaskIsReportedBeforeAnyChildStarts) {
    scratchDir dir;
    processResult result = runForked(dir, [&] {
        signal(SIGTERM, SIG_DFL);
        if (!installSyscallRules(
                {{__NR_rt_sigprocmask, SECCOMP_RET_ERRNO | EINVAL, 0, SIG_BLOCK}})) {
            return 99;
        }
        std::string java = LARKWIN_STAND_IN_JAVA;
        char* arguments[] = {&java[0], nullptr};
        printf("%s|", thrownMessage([&] { runChildProcess(&java[0], arguments); }).c_str());
        printf("%d%d", hasDefaultAction(SIGTERM),
               waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD);
        return 0;
    });
    if (result.status == 99) {
        GTEST_SKIP() << "seccomp filters cannot be installed here";
    }
    EXPECT_EQ("sigprocmask failed: Invalid argument|11", result.out);
}

// A terminal's signal (sent by the kernel, SI_KERNEL) reaches the child
// through its process group already; only a signal sent by a process is
// passed on. The target dies of the first signal it is sent.
TEST(SignalForwarding, OnlySignalsSentByAProcessArePassedOn) {
    scratchDir dir;
    processResult result = runForked(dir, [&] {
        pid_t target = fork();
        if (target == 0) {
            pause();
            _exit(0);
        }
        {
            signalForwarding forwarding;
            forwarding.forwardTo(target);
            siginfo_t fromKernel = {};
            fromKernel.si_signo = SIGUSR1;
            fromKernel.si_code = SI_KERNEL;
            // To itself a process may send any si_code.
            syscall(SYS_rt_sigqueueinfo, getpid(), SIGUSR1, &fromKernel);
            kill(getpid(), SIGUSR2);
            forwarding.stop();
        }
        int status = 0;
        waitpid(target, &status, 0);
        return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    });
    EXPECT_EQ(SIGUSR2, result.status);
}
#endif
