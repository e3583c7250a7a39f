#include "process/brokenPipe.h"

#include <csignal>

static void ignoreBrokenPipe(int) {}

void surviveBrokenPipe() {
    struct sigaction current;
    if (sigaction(SIGPIPE, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) {
        return;
    }
    struct sigaction action = {};
    action.sa_handler = ignoreBrokenPipe;
    sigemptyset(&action.sa_mask);
    sigaction(SIGPIPE, &action, nullptr);
}
