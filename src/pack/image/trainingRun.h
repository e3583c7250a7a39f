#ifndef LARKWIN_PACK_IMAGE_TRAININGRUN_H
#define LARKWIN_PACK_IMAGE_TRAININGRUN_H

// How long a training run may take before it is ended.
extern const int trainingSeconds;

// One run of a launcher for its training: its standard input is
// /dev/null, what it prints goes to larkwin-pack's standard error, or
// nowhere when quiet.
struct trainingRun {
    // The launcher and its arguments, ended by a null.
    char* const* command;
    // XDG_CACHE_HOME, unless null.
    const char* cacheHome;
    // LARKWIN_STARTUP_CACHE.
    const char* control;
    int quiet;
};

// Runs it in a process group of its own, which a termination signal of
// larkwin-pack ends first, for at most trainingSeconds (then SIGTERM, and
// SIGKILL if need be). Its exit status (128 + n for signal n), or -1 when
// it had to be ended; the CPU time that it and what it waited for took, in
// *cpuSeconds unless that is null.
int runTraining(const trainingRun& run, double* cpuSeconds);

#endif
