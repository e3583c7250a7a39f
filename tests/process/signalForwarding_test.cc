#include "process/childProcess.h"
#include "processSupport.h"

#include <gtest/gtest.h>

#ifdef __linux__
#include <cstddef>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>

namespace {
// Makes every later rt_sigaction call for signal fail with EINVAL in this
// process, as a kernel refusing the call would. The signal number is compared
// in the low half of the first argument (little-endian machines).
bool refuseSigactionFor(int signal) {
    struct sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_rt_sigaction, 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, args[0])),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, (unsigned)signal, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EINVAL),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    struct sock_fprog program = {sizeof filter / sizeof filter[0], filter};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
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
#endif
