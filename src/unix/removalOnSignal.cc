#include "unix/removalOnSignal.h"

#include <csignal>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

namespace {
const int slotCount = 8;
// Borrowed names; a directory is removed with everything in it.
const char* volatile names[slotCount];
volatile sig_atomic_t isTree[slotCount];
const int signals[] = {SIGTERM, SIGINT, SIGHUP};
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

static void removeRegistered(int signalNumber) {
    for (int i = 0; i < slotCount; i++) {
        const char* name = names[i];
        if (name != nullptr) {
            if (isTree[i]) {
                removeTree(name);
            } else {
                unlink(name);
            }
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

void unregisterRemoval(const char* name) {
    for (int i = 0; i < slotCount; i++) {
        if (names[i] == name) {
            names[i] = nullptr;
        }
    }
}

// Runs make with the termination signals held back.
template <typename F> static auto withSignalsHeld(F make) {
    sigset_t held;
    sigset_t previous;
    sigemptyset(&held);
    for (int signalNumber : signals) {
        sigaddset(&held, signalNumber);
    }
    sigprocmask(SIG_BLOCK, &held, &previous);
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
