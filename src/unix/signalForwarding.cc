#include "unix/signalForwarding.h"

#include "unix/stopRequest.h"

#include <cerrno>

static const int forwardedSignals[signalForwarding::forwardedCount] = {SIGTERM, SIGHUP,  SIGINT,
                                                                       SIGQUIT, SIGUSR1, SIGUSR2};

// The child being waited for; 0 while there is none.
static volatile sig_atomic_t forwardTarget = 0;

// Only signals sent by a process are passed on: the terminal's (SI_KERNEL)
// reach the child through its process group already.
static void forwardSignal(int signal, siginfo_t* info, void*) {
    noteStopSignal(signal);
    pid_t target = forwardTarget;
    if (target > 0 && (info->si_code == SI_USER || info->si_code == SI_QUEUE)) {
        int savedErrno = errno;
        kill(target, signal);
        errno = savedErrno;
    }
}

static sigset_t createForwardedSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : forwardedSignals) {
        sigaddset(&set, signal);
    }
    return set;
}

signalForwarding::signalForwarding() {
    watchStopSignals();
    sigset_t forwarded = createForwardedSet();
    sigprocmask(SIG_BLOCK, &forwarded, &previousMask);
    struct sigaction action = {};
    action.sa_sigaction = forwardSignal;
    action.sa_flags = SA_SIGINFO;
    action.sa_mask = forwarded;
    for (int i = 0; i < forwardedCount; i++) {
        sigaction(forwardedSignals[i], &action, &previousActions[i]);
    }
    // An inherited ignored SIGCHLD would reap the child before it is waited for.
    struct sigaction childAction = {};
    childAction.sa_handler = SIG_DFL;
    sigaction(SIGCHLD, &childAction, &previousChildAction);
}

signalForwarding::~signalForwarding() {
    stop();
    // Blocked first: a stop signal from now on waits for the launcher's
    // decision, even once the default actions are back.
    holdStopSignals(previousMask);
    for (int i = 0; i < forwardedCount; i++) {
        sigaction(forwardedSignals[i], &previousActions[i], nullptr);
    }
    sigaction(SIGCHLD, &previousChildAction, nullptr);
}

void signalForwarding::prepareChild() const {
    for (int i = 0; i < forwardedCount; i++) {
        sigaction(forwardedSignals[i], &previousActions[i], nullptr);
    }
    sigaction(SIGCHLD, &previousChildAction, nullptr);
    sigset_t empty;
    sigemptyset(&empty);
    sigprocmask(SIG_SETMASK, &empty, nullptr);
}

void signalForwarding::forwardTo(pid_t child) {
    forwardTarget = child;
    sigset_t forwarded = createForwardedSet();
    sigprocmask(SIG_UNBLOCK, &forwarded, nullptr);
}

void signalForwarding::stop() {
    forwardTarget = 0;
}
