#include "runtime/runtimeChoice.h"

#include "util/owned.h"

#include <cstring>

runtimeCandidates::runtimeCandidates() : items(nullptr), count(0) {}

runtimeCandidates::~runtimeCandidates() {
    for (int i = 0; i < count; i++) {
        delete[] items[i].javaPath;
        delete[] items[i].refusal;
    }
    delete[] items;
}

// The list grows by one: it holds a few dozen runtimes at most.
void runtimeCandidates::add(char* javaPath, runtimeOrigin origin, int exists, int version) {
    ownedString owned(javaPath);
    for (int i = 0; i < count; i++) {
        if (strcmp(items[i].javaPath, javaPath) == 0) {
            return;
        }
    }
    runtimeCandidate* grown = new runtimeCandidate[count + 1];
    for (int i = 0; i < count; i++) {
        grown[i] = items[i];
    }
    grown[count] =
        runtimeCandidate{owned.release(), origin, exists, version, verdictUndecided, nullptr};
    delete[] items;
    items = grown;
    count++;
}

void runtimeCandidates::addRefused(char* javaPath, char* refusal) {
    ownedString owned(refusal);
    int before = count;
    add(javaPath, searchedRuntime, 1, 0);
    if (count > before) {
        items[before].refusal = owned.release();
    }
}

int runtimeCandidates::hasSearched() const {
    for (int i = 0; i < count; i++) {
        if (items[i].origin == searchedRuntime) {
            return 1;
        }
    }
    return 0;
}

static int fits(const runtimeCandidate& candidate, const versionRequirement& requirement) {
    return candidate.exists && candidate.refusal == nullptr &&
           meetsRequirement(requirement, candidate.version);
}

static runtimeVerdict getMissVerdict(const runtimeCandidate& candidate) {
    if (candidate.refusal != nullptr) {
        return verdictRefused;
    }
    return candidate.exists ? verdictDoesNotFit : verdictMissing;
}

static void decideRest(runtimeCandidates& candidates, int from, runtimeVerdict verdict) {
    for (int i = from; i < candidates.size(); i++) {
        candidates[i].verdict = verdict;
    }
}

// The first candidate, when it is a configured javapath, settles the choice.
static int chooseConfigured(runtimeCandidates& candidates, const versionRequirement& requirement) {
    runtimeCandidate& configured = candidates[0];
    decideRest(candidates, 1, verdictJavaPathConfigured);
    if (fits(configured, requirement)) {
        configured.verdict = verdictTaken;
        return 0;
    }
    configured.verdict = getMissVerdict(configured);
    return -1;
}

// JAVA_HOME and PATH, in order: the first that fits, or -1.
static int chooseNamed(runtimeCandidates& candidates, const versionRequirement& requirement) {
    for (int i = 0; i < candidates.size() && candidates[i].origin != searchedRuntime; i++) {
        if (fits(candidates[i], requirement)) {
            candidates[i].verdict = verdictTaken;
            decideRest(candidates, i + 1, verdictEarlierTaken);
            return i;
        }
        candidates[i].verdict = getMissVerdict(candidates[i]);
    }
    return -1;
}

// Without a requirement every version fits equally, so the first one wins.
static int isBetter(const runtimeCandidate& candidate, const runtimeCandidate* best,
                    const versionRequirement& requirement) {
    if (best == nullptr) {
        return 1;
    }
    return isRequired(requirement) && candidate.version > best->version;
}

static runtimeVerdict getOutrankedVerdict(const runtimeCandidate& candidate,
                                          const runtimeCandidate& best,
                                          const versionRequirement& requirement) {
    if (!isRequired(requirement)) {
        return verdictEarlierTaken;
    }
    return candidate.version < best.version ? verdictLowerVersion : verdictSameVersionEarlier;
}

static int chooseSearched(runtimeCandidates& candidates, const versionRequirement& requirement) {
    int best = -1;
    for (int i = 0; i < candidates.size(); i++) {
        runtimeCandidate& candidate = candidates[i];
        if (candidate.origin != searchedRuntime) {
            continue;
        }
        if (!fits(candidate, requirement)) {
            candidate.verdict = getMissVerdict(candidate);
        } else if (isBetter(candidate, best >= 0 ? &candidates[best] : nullptr, requirement)) {
            best = i;
        }
    }
    for (int i = 0; i < candidates.size() && best >= 0; i++) {
        runtimeCandidate& candidate = candidates[i];
        if (candidate.origin == searchedRuntime && fits(candidate, requirement) && i != best) {
            candidate.verdict = getOutrankedVerdict(candidate, candidates[best], requirement);
        }
    }
    if (best >= 0) {
        candidates[best].verdict = verdictTaken;
    }
    return best;
}

int chooseRuntime(runtimeCandidates& candidates, const versionRequirement& requirement) {
    if (candidates.size() > 0 && candidates[0].origin == configuredRuntime) {
        return chooseConfigured(candidates, requirement);
    }
    int chosen = chooseNamed(candidates, requirement);
    return chosen >= 0 ? chosen : chooseSearched(candidates, requirement);
}

const char* getVerdictText(runtimeVerdict verdict) {
    switch (verdict) {
    case verdictTaken:
        return "taken";
    case verdictMissing:
        return "it does not exist";
    case verdictDoesNotFit:
        return "its version does not fit";
    case verdictLowerVersion:
        return "a higher version fits";
    case verdictSameVersionEarlier:
        return "the same version was found first";
    case verdictEarlierTaken:
        return "an earlier one was taken";
    case verdictJavaPathConfigured:
        return "javapath is configured";
    case verdictRefused:
        return "other users may change it";
    case verdictUndecided:
        break;
    }
    return "not looked at";
}

const char* getOriginText(runtimeOrigin origin) {
    switch (origin) {
    case configuredRuntime:
        return "javapath";
    case javaHomeRuntime:
        return "JAVA_HOME";
    case pathRuntime:
        return "PATH";
    case searchedRuntime:
        break;
    }
    return "searched";
}
