#include "process/signalForwarding.h"

#include "notify/serviceManager.h"
#include "process/stopRequest.h"

#include "util/strings.h"

#include <cerrno>
#include <cstring>

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
        // The service manager hears of the stop before the application. HUP
        // asks many applications to reload, so it is no stop.
        if (signal == SIGTERM || signal == SIGINT) {
            notifyStopping();
        }
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

// Puts back what the constructor had installed when a later step failed, and
// reports the failure with the error of the call that failed.
[[noreturn]] void signalForwarding::undoAndThrow(const char* format, int installed) {
    char* message = createMessage(format, strerror(errno));
    for (int i = 0; i < installed; i++) {
        sigaction(forwardedSignals[i], &previousActions[i], nullptr);
    }
    sigprocmask(SIG_SETMASK, &previousMask, nullptr);
    throw message;
}

signalForwarding::signalForwarding() {
    watchStopSignals();
    sigset_t forwarded = createForwardedSet();
    if (sigprocmask(SIG_BLOCK, &forwarded, &previousMask) != 0) {
        throw createMessage("sigprocmask failed: %s", strerror(errno));
    }
    struct sigaction action = {};
    action.sa_sigaction = forwardSignal;
    action.sa_flags = SA_SIGINFO;
    action.sa_mask = forwarded;
    for (int i = 0; i < forwardedCount; i++) {
        if (sigaction(forwardedSignals[i], &action, &previousActions[i]) != 0) {
            undoAndThrow("sigaction failed: %s", i);
        }
    }
    // An inherited ignored SIGCHLD would reap the child before it is waited for.
    struct sigaction childAction = {};
    childAction.sa_handler = SIG_DFL;
    if (sigaction(SIGCHLD, &childAction, &previousChildAction) != 0) {
        undoAndThrow("sigaction failed: %s", forwardedCount);
    }
}

// Putting back what the constructor saved takes the same calls with the same
// signals, which it has seen succeed; a destructor could not report it anyway.
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

// Runs in the vfork child, which may neither throw nor write a message with
// stdio; the calls repeat ones that succeeded in the launcher a moment ago.
void signalForwarding::prepareChild() const {
    for (int i = 0; i < forwardedCount; i++) {
        sigaction(forwardedSignals[i], &previousActions[i], nullptr);
    }
    sigaction(SIGCHLD, &previousChildAction, nullptr);
    sigset_t empty;
    sigemptyset(&empty);
    sigprocmask(SIG_SETMASK, &empty, nullptr);
}

// Unblocking a valid set cannot fail; and with the child running, the
// launcher must go on to wait for it whatever happens here.
void signalForwarding::forwardTo(pid_t child) {
    forwardTarget = child;
    sigset_t forwarded = createForwardedSet();
    sigprocmask(SIG_UNBLOCK, &forwarded, nullptr);
}

void signalForwarding::stop() {
    forwardTarget = 0;
}
