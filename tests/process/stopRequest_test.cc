#include "process/stopRequest.h"
#include "processSupport.h"

#include <csignal>
#include <ctime>
#include <gtest/gtest.h>

// Each case runs in a process of its own: the stop state is process-wide.
namespace {
sigset_t currentMask() {
    sigset_t mask;
    sigprocmask(SIG_BLOCK, nullptr, &mask);
    return mask;
}

void watchAndHold() {
    watchStopSignals();
    holdStopSignals(currentMask());
}

struct timespec inMilliseconds(long milliseconds) {
    struct timespec at;
    clock_gettime(CLOCK_MONOTONIC, &at);
    at.tv_nsec += milliseconds * 1000000L;
    at.tv_sec += at.tv_nsec / 1000000000L;
    at.tv_nsec %= 1000000000L;
    return at;
}

bool hasPassed(const struct timespec& at) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec > at.tv_sec || (now.tv_sec == at.tv_sec && now.tv_nsec >= at.tv_nsec);
}
} // namespace

TEST(StopRequest, StopSignalsAfterTheHoldWaitPendingAndCountAsAStop) {
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        scratchDir dir;
        processResult result = runForked(dir, [&] {
            watchAndHold();
            if (isStopRequested()) {
                return 1;
            }
            kill(getpid(), sig);
            return isStopRequested() ? 7 : 2;
        });
        EXPECT_EQ(7, result.status) << "signal " << sig;
    }
}

TEST(StopRequest, OtherSignalsAndThoseIgnoredAtTheStartAskNothing) {
    scratchDir dir;
    processResult result = runForked(dir, [&] {
        signal(SIGHUP, SIG_IGN);
        signal(SIGUSR1, SIG_IGN);
        watchAndHold();
        kill(getpid(), SIGHUP);
        noteStopSignal(SIGHUP);
        noteStopSignal(SIGUSR1);
        noteStopSignal(SIGQUIT);
        if (isStopRequested()) {
            return 1;
        }
        noteStopSignal(SIGINT);
        return isStopRequested() ? 7 : 2;
    });
    EXPECT_EQ(7, result.status);
}

TEST(StopRequest, WaitLastsUntilTheDeadlineUnlessAStopSignalComes) {
    scratchDir dir;
    processResult result = runForked(dir, [&] {
        watchAndHold();
        struct timespec deadline = inMilliseconds(200);
        if (awaitUnlessStopped(deadline) != 0 || !hasPassed(deadline)) {
            return 1;
        }
        kill(getpid(), SIGTERM);
        struct timespec far = inMilliseconds(30000);
        if (awaitUnlessStopped(far) != 1 || hasPassed(far)) {
            return 2;
        }
        // Taken by the wait, and still remembered.
        return isStopRequested() ? 7 : 3;
    });
    EXPECT_EQ(7, result.status);
}

TEST(StopRequest, ReleaseRestoresTheMaskAndAStopThenEndsWithTheGivenCode) {
    scratchDir dir;
    processResult result = runForked(dir, [&] {
        sigset_t usr1;
        sigemptyset(&usr1);
        sigaddset(&usr1, SIGUSR1);
        sigprocmask(SIG_SETMASK, &usr1, nullptr);
        watchAndHold();
        sigset_t held = currentMask();
        if (sigismember(&held, SIGTERM) != 1) {
            return 1;
        }
        releaseStopSignals(42);
        sigset_t mask = currentMask();
        if (sigismember(&mask, SIGTERM) != 0 || sigismember(&mask, SIGUSR1) != 1) {
            return 2;
        }
        kill(getpid(), SIGTERM);
        return 3;
    });
    EXPECT_EQ(42, result.status);
}

TEST(StopRequest, StopPendingAtTheReleaseEndsAtOnceWithTheCode) {
    scratchDir dir;
    processResult result = runForked(dir, [&] {
        watchAndHold();
        kill(getpid(), SIGINT);
        releaseStopSignals(9);
        return 3;
    });
    EXPECT_EQ(9, result.status);
}
