#include "process/restartPace.h"
#include "processSupport.h"
#include "seccompSupport.h"

#include <gtest/gtest.h>

namespace {
long long nanoseconds(const struct timespec& time) {
    return time.tv_sec * 1000000000LL + time.tv_nsec;
}

long long now() {
    struct timespec time;
    clock_gettime(CLOCK_MONOTONIC, &time);
    return nanoseconds(time);
}
} // namespace

// The launcher's clock is read, not waited for: the turn lies exactly a
// second after a moment between the two readings around the child's start.
TEST(RestartPace, TheNextRestartMayComeASecondAfterTheChildStarted) {
    long long before = now();
    noteChildStart();
    long long after = now();
    long long turn = nanoseconds(getRestartTurn());
    EXPECT_LE(before + 1000000000LL, turn);
    EXPECT_GE(after + 1000000000LL, turn);
}

#ifdef __linux__
// A restart right after the child started waits for its turn: the first
// call that would wait ends the process with SIGSYS; without a wait the
// restart's exec, refused, would return.
TEST(RestartPace, ARestartRightAfterTheStartWaits) {
    scratchDir dir;
    processResult result = runForked(dir, [] {
        noteChildStart();
        if (!installSyscallRules({{__NR_rt_sigtimedwait, SECCOMP_RET_TRAP},
                                  {__NR_clock_nanosleep, SECCOMP_RET_TRAP},
                                  {__NR_nanosleep, SECCOMP_RET_TRAP},
                                  failing(__NR_execve, ENOEXEC)})) {
            return 99;
        }
        restartUnlessStopped(3);
        return 0;
    });
    if (result.status == 99) {
        GTEST_SKIP() << "seccomp filters cannot be installed here";
    }
    EXPECT_EQ(128 + SIGSYS, result.status);
}
#endif
