#include "unix/removalOnSignal.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <sys/wait.h>
#include <unistd.h>

namespace {
const int slotCount = 8;
// Borrowed names; a directory is removed with everything in it.
const char* volatile names[slotCount];
volatile sig_atomic_t isTree[slotCount];
// Process groups, by their leader's id; 0 for a free slot.
volatile pid_t groups[slotCount];
const int signals[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT};
// isTree's value for a directory removed only when it is empty.
const sig_atomic_t emptyDirectory = 2;
// How long a group asked to end with SIGTERM may take, in steps of 50 ms.
const int endingSteps = 100;
} // namespace

// fork, execve and waitpid are async-signal-safe; rm does what no handler
// can do safely itself, walk a tree.
static void removeTree(const char* name) {
    pid_t child = fork();
    if (child == 0) {
        const char* arguments[] = {"rm", "-rf", "--", name, nullptr};
        const char* environment[] = {nullptr};
        execve("/bin/rm", (char* const*)arguments, (char* const*)environment);
        _exit(127);
    }
    int status;
    while (child > 0 && waitpid(child, &status, 0) < 0) {
    }
}

// 1 when the group's leader has ended (and is reaped) within the steps.
static int waitForLeader(pid_t leader, int steps) {
    struct timespec step = {0, 50 * 1000 * 1000};
    for (int i = 0; i < steps; i++) {
        int status;
        pid_t ended = waitpid(leader, &status, WNOHANG);
        if (ended == leader || (ended < 0 && errno != EINTR)) {
            return 1;
        }
        nanosleep(&step, nullptr);
    }
    return 0;
}

// kill, nanosleep and waitpid are async-signal-safe.
static void endGroups() {
    for (int i = 0; i < slotCount; i++) {
        pid_t group = groups[i];
        if (group > 0) {
            kill(-group, SIGTERM);
            kill(-group, SIGCONT);
        }
    }
    for (int i = 0; i < slotCount; i++) {
        pid_t group = groups[i];
        if (group > 0 && !waitForLeader(group, endingSteps)) {
            kill(-group, SIGKILL);
            waitForLeader(group, endingSteps);
        }
    }
}

static void removeRegistered(int signalNumber) {
    endGroups();
    for (int i = 0; i < slotCount; i++) {
        const char* name = names[i];
        if (name != nullptr && isTree[i] != emptyDirectory) {
            if (isTree[i]) {
                removeTree(name);
            } else {
                unlink(name);
            }
        }
    }
    // Empty directories last, the latest registered first: they may hold
    // what was removed above.
    for (int i = slotCount - 1; i >= 0; i--) {
        const char* name = names[i];
        if (name != nullptr && isTree[i] == emptyDirectory) {
            rmdir(name);
        }
    }
    // The signal stays blocked until the handler returns; then its default
    // action ends the program with the status a parent expects.
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

void removeRegisteredOnTermination() {
    for (int signalNumber : signals) {
        struct sigaction action = {};
        if (sigaction(signalNumber, nullptr, &action) == 0 && action.sa_handler == SIG_IGN) {
            continue;
        }
        action = {};
        action.sa_handler = removeRegistered;
        sigemptyset(&action.sa_mask);
        for (int other : signals) {
            sigaddset(&action.sa_mask, other);
        }
        sigaction(signalNumber, &action, nullptr);
    }
}

static void registerName(const char* name, int tree) {
    for (int i = 0; i < slotCount; i++) {
        if (names[i] == nullptr) {
            isTree[i] = tree;
            names[i] = name;
            return;
        }
    }
}

void registerEmptyDirectory(const char* name) {
    registerName(name, emptyDirectory);
}

void unregisterRemoval(const char* name) {
    for (int i = 0; i < slotCount; i++) {
        if (names[i] == name) {
            names[i] = nullptr;
        }
    }
}

// Holds the termination signals back; previous receives the mask to restore.
static void holdSignals(sigset_t* previous) {
    sigset_t held;
    sigemptyset(&held);
    for (int signalNumber : signals) {
        sigaddset(&held, signalNumber);
    }
    sigprocmask(SIG_BLOCK, &held, previous);
}

// Runs make with the termination signals held back.
template <typename F> static auto withSignalsHeld(F make) {
    sigset_t previous;
    holdSignals(&previous);
    auto made = make();
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    return made;
}

int openRegisteredFile(char* nameTemplate) {
    return withSignalsHeld([&] {
        int fd = mkstemp(nameTemplate);
        if (fd >= 0) {
            registerName(nameTemplate, 0);
        }
        return fd;
    });
}

int makeRegisteredDirectory(char* nameTemplate) {
    return withSignalsHeld([&] {
        int made = mkdtemp(nameTemplate) != nullptr;
        if (made) {
            registerName(nameTemplate, 1);
        }
        return made;
    });
}

pid_t forkRegisteredGroup() {
    sigset_t previous;
    holdSignals(&previous);
    pid_t child = fork();
    if (child == 0) {
        // The child removes nothing of its parent's.
        for (int signalNumber : signals) {
            struct sigaction action = {};
            if (sigaction(signalNumber, nullptr, &action) == 0 &&
                action.sa_handler == removeRegistered) {
                signal(signalNumber, SIG_DFL);
            }
        }
        setpgid(0, 0);
        sigprocmask(SIG_SETMASK, &previous, nullptr);
        return 0;
    }
    if (child > 0) {
        // Both sides set it, so that it holds whichever runs first.
        setpgid(child, child);
        for (int i = 0; i < slotCount; i++) {
            if (groups[i] == 0) {
                groups[i] = child;
                break;
            }
        }
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    return child;
}

void unregisterProcessGroup(pid_t group) {
    for (int i = 0; i < slotCount; i++) {
        if (groups[i] == group) {
            groups[i] = 0;
        }
    }
}
