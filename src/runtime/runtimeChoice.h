#ifndef LARKWIN_RUNTIME_RUNTIMECHOICE_H
#define LARKWIN_RUNTIME_RUNTIMECHOICE_H

#include "runtime/versionRequirement.h"

// Where a candidate runtime came from, in the order they are looked at.
enum runtimeOrigin { configuredRuntime, javaHomeRuntime, pathRuntime, searchedRuntime };

// What the choice made of a candidate, for +DEBUG and the failure messages.
enum runtimeVerdict {
    verdictUndecided,
    verdictTaken,
    verdictMissing,
    verdictDoesNotFit,
    verdictLowerVersion,
    verdictSameVersionEarlier,
    verdictEarlierTaken,
    verdictJavaPathConfigured,
    verdictRefused,
};

struct runtimeCandidate {
    char* javaPath;
    runtimeOrigin origin;
    int exists;
    // The feature release its release file names; 0 when unknown.
    int version;
    runtimeVerdict verdict;
    // Why the candidate may not be taken at all (other users could have put
    // it there), or null.
    char* refusal;
};

// The runtimes seen so far, in the order they were found. It owns the paths.
class runtimeCandidates {
  public:
    runtimeCandidates();
    ~runtimeCandidates();
    runtimeCandidates(const runtimeCandidates&) = delete;
    runtimeCandidates& operator=(const runtimeCandidates&) = delete;

    // Takes javaPath over. A path already listed is not listed twice.
    void add(char* javaPath, runtimeOrigin origin, int exists, int version);
    // A searched runtime that is never taken; takes both strings over.
    void addRefused(char* javaPath, char* refusal);
    int size() const { return count; }
    int hasSearched() const;
    runtimeCandidate& operator[](int i) const { return items[i]; }

  private:
    runtimeCandidate* items;
    int count;
};

// Chooses among the candidates and gives each its verdict; the index of the
// one taken, or -1 when none will do:
// - a configured javapath is taken if it exists and fits, and never replaced;
// - else the first of JAVA_HOME and PATH that fits;
// - else, with a requirement, the searched runtime of the highest fitting
//   version (the first of them on a tie); without one, the first searched.
int chooseRuntime(runtimeCandidates& candidates, const versionRequirement& requirement);

// Why a candidate was passed over, in a few words; "taken" for the one taken.
const char* getVerdictText(runtimeVerdict verdict);
// "javapath", "JAVA_HOME", "PATH" or "searched".
const char* getOriginText(runtimeOrigin origin);

#endif
