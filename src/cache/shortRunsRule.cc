#include "cache/shortRunsRule.h"

#include "util/strings.h"

#include <cstdio>
#include <cstdlib>

// Each mode's median is of its last few runs, so that it follows a change in
// the application's work; C1 only must cost 5% less to be chosen, so that
// noise keeps the JVM's default.
static const int comparedRuns = 3;
static const long long noisePercent = 5;
static const long long slowerPercent = 30;

static int byValue(const void* a, const void* b) {
    long long first = *(const long long*)a;
    long long second = *(const long long*)b;
    return first < second ? -1 : first > second ? 1 : 0;
}

// The last runs of one mode before an index, and their median (the lower
// middle of an even count; -1 when there is none).
struct runWindow {
    long long median;
    int first;
    int taken;
};

static runWindow takeLastRuns(const shortRunSample* samples, int end, shortRunsMode mode) {
    long long values[comparedRuns];
    runWindow window = {-1, end, 0};
    for (int i = end - 1; i >= 0 && window.taken < comparedRuns; i--) {
        if (samples[i].mode == mode) {
            values[window.taken++] = samples[i].cpuMicroseconds;
            window.first = i;
        }
    }
    if (window.taken > 0) {
        qsort(values, (size_t)window.taken, sizeof values[0], byValue);
        window.median = values[(window.taken - 1) / 2];
    }
    return window;
}

static int isClearlyCheaper(long long cost, long long than) {
    return cost * 100 < than * (100 - noisePercent);
}

// Whether mode's last runs cost more than 30% above the ones before them,
// and the other mode has not run since the first of those last runs.
static int hasGrownSlower(const shortRunSample* samples, int count, shortRunsMode mode) {
    runWindow recent = takeLastRuns(samples, count, mode);
    runWindow earlier = takeLastRuns(samples, recent.first, mode);
    if (earlier.taken < comparedRuns || earlier.median <= 0) {
        return 0;
    }
    for (int i = recent.first; i < count; i++) {
        if (samples[i].mode != mode) {
            return 0;
        }
    }
    return recent.median * 100 > earlier.median * (100 + slowerPercent);
}

// The runs to wait before the next retry: the more the other mode's last run
// cost above the chosen mode's median at that time, the longer, so that a
// hot loop pays for few trials of C1 only (and a short tool for few of all
// tiers).
static int retryIntervalAfter(const shortRunSample* samples, int count, shortRunsMode other) {
    shortRunsMode chosen = other == c1OnlyMode ? allTiersMode : c1OnlyMode;
    for (int i = count - 1; i >= 0; i--) {
        if (samples[i].mode == other) {
            long long median = takeLastRuns(samples, i, chosen).median;
            long long cost = samples[i].cpuMicroseconds * 100;
            return median <= 0           ? retryInterval
                   : cost > median * 400 ? retryInterval * 8
                   : cost > median * 200 ? retryInterval * 4
                   : cost > median * 150 ? retryInterval * 2
                                         : retryInterval;
        }
    }
    return retryInterval;
}

static int runsSince(const shortRunSample* samples, int count, shortRunsMode mode) {
    int since = 0;
    for (int i = count - 1; i >= 0 && samples[i].mode != mode; i--) {
        since++;
    }
    return since;
}

static shortRunsChoice chooseMeasured(const shortRunSample* samples, int count,
                                      shortRunsChoice choice) {
    shortRunsMode better =
        isClearlyCheaper(choice.medians[c1OnlyMode], choice.medians[allTiersMode]) ? c1OnlyMode
                                                                                   : allTiersMode;
    shortRunsMode other = better == c1OnlyMode ? allTiersMode : c1OnlyMode;
    choice.mode = better;
    choice.reason = better == c1OnlyMode ? cheaperReason : notCheaperReason;
    // A trial is one run of the other mode after one of the better.
    const shortRunSample& last = samples[count - 1];
    int trial = last.mode == other && count >= 2 && samples[count - 2].mode == better;
    if (trial && isClearlyCheaper(last.cpuMicroseconds, choice.medians[better])) {
        choice.mode = other;
        choice.reason = confirmReason;
    } else if (runsSince(samples, count, other) >= retryIntervalAfter(samples, count, other) - 1) {
        choice.mode = other;
        choice.reason = retryReason;
    } else if (hasGrownSlower(samples, count, better)) {
        choice.mode = other;
        choice.reason = slowerReason;
    }
    return choice;
}

// Each mode runs learningRuns times first. A long record keeps the chosen
// mode's runs mostly, and the other's retries: it is past learning while
// it holds a run of each.
static int isLearning(const shortRunsChoice& choice, int count) {
    int fewer = choice.runs[allTiersMode] < choice.runs[c1OnlyMode] ? choice.runs[allTiersMode]
                                                                    : choice.runs[c1OnlyMode];
    return fewer == 0 || (fewer < learningRuns && count < retryInterval);
}

shortRunsChoice chooseShortRunsMode(const shortRunSample* samples, int count) {
    shortRunsChoice choice;
    for (int mode = allTiersMode; mode <= c1OnlyMode; mode++) {
        choice.runs[mode] = 0;
        for (int i = 0; i < count; i++) {
            choice.runs[mode] += samples[i].mode == mode;
        }
        choice.medians[mode] = takeLastRuns(samples, count, (shortRunsMode)mode).median;
    }
    if (isLearning(choice, count)) {
        choice.mode =
            choice.runs[c1OnlyMode] < choice.runs[allTiersMode] ? c1OnlyMode : allTiersMode;
        choice.reason = learningReason;
        return choice;
    }
    return chooseMeasured(samples, count, choice);
}

const char* describeShortRunsMode(shortRunsMode mode) {
    return mode == c1OnlyMode ? "C1 only" : "all tiers";
}

static const char* describeReason(shortRunsReason reason) {
    switch (reason) {
    case learningReason:
        return "measuring both modes in turn";
    case cheaperReason:
        return "C1 only costs clearly less CPU time";
    case notCheaperReason:
        return "C1 only does not cost clearly less CPU time";
    case retryReason:
        return "trying the other mode again, after 19, 39, 79 or 159 runs";
    case slowerReason:
        return "the chosen mode's last runs cost over 30% more";
    case confirmReason:
        return "the other mode's last run cost less: once more";
    }
    return "";
}

// CPU time in milliseconds, or "none" where a mode has no runs yet.
static void formatMedian(char* text, size_t size, long long microseconds) {
    if (microseconds < 0) {
        snprintf(text, size, "none");
    } else {
        snprintf(text, size, "%lld.%03lld s", microseconds / 1000000, microseconds / 1000 % 1000);
    }
}

char* createShortRunsReport(const shortRunsChoice& choice) {
    char allTiers[32];
    char c1Only[32];
    formatMedian(allTiers, sizeof allTiers, choice.medians[allTiersMode]);
    formatMedian(c1Only, sizeof c1Only, choice.medians[c1OnlyMode]);
    return createMessage("%s: %s; median CPU time all tiers %s (%d runs), C1 only %s (%d runs)",
                         describeShortRunsMode(choice.mode), describeReason(choice.reason),
                         allTiers, choice.runs[allTiersMode], c1Only, choice.runs[c1OnlyMode]);
}
