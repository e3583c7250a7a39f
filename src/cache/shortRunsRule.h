#ifndef LARKWIN_CACHE_SHORTRUNSRULE_H
#define LARKWIN_CACHE_SHORTRUNSRULE_H

// "shortruns": which compiler set-up a start of an application takes, from
// the CPU time (user + system) that its earlier runs cost in each. Stopping
// at the first tier (C1 only) saves the work of the optimising compiler,
// which a short run never earns back, but costs a run with a hot loop dearly;
// so it is measured per application. The rule is a pure function of the
// recorded runs, oldest first, so it can be fed any history.

enum shortRunsMode { allTiersMode = 0, c1OnlyMode = 1 };

struct shortRunSample {
    shortRunsMode mode;
    long long cpuMicroseconds;
};

enum shortRunsReason {
    // Fewer than learningRuns runs in one of the modes: they alternate.
    learningReason,
    // C1 only costs clearly less than all tiers.
    cheaperReason,
    // C1 only costs as much (within noise) or more: the JVM's own default.
    notCheaperReason,
    // The other mode has not run for retryInterval - 1 runs (2, 4 or 8 times
    // as many when its last run cost over 1.5, 2 or 4 times the chosen
    // mode's median).
    retryReason,
    // The chosen mode's last runs cost more than 30% above its earlier ones.
    slowerReason,
    // The last run tried the other mode, after a run of the chosen one, and
    // it was cheaper: once more, so that its median can follow.
    confirmReason
};

struct shortRunsChoice {
    shortRunsMode mode;
    shortRunsReason reason;
    // The median of each mode's last runs (by mode); -1 where it has none.
    long long medians[2];
    // The runs of each mode in the record.
    int runs[2];
};

static const int learningRuns = 3;
static const int retryInterval = 20;

shortRunsChoice chooseShortRunsMode(const shortRunSample* samples, int count);

// "all tiers" or "C1 only".
const char* describeShortRunsMode(shortRunsMode mode);

// What +DEBUG says of a choice: the mode, why, and the medians. Owned by the
// caller.
char* createShortRunsReport(const shortRunsChoice& choice);

#endif
