#ifndef LARKWIN_CACHE_SHORTRUNS_H
#define LARKWIN_CACHE_SHORTRUNS_H

#include "cache/shortRunsRule.h"
#include "util/owned.h"
#include "util/stringArray.h"

class javaVm;
class startupCache;

// "shortruns" for one launch: once the application's archive exists, its
// runs alternate between all compiler tiers and C1 only
// (-XX:TieredStopAtLevel=1), each run's CPU time is recorded beside the
// archive, and the mode whose runs cost less is kept (shortRunsRule.h).
// Both modes map the same archive: the JVM does not check the compilers'
// set-up when it maps one, so a switch never makes a cold start, and the
// archive's key leaves the mode out (the option is not in vmOptions).
// It stands aside where the configuration, the user or a JVM option
// variable already sets the compilers up, or there is no cache.
class shortRuns {
  public:
    // Decides from the launch description and its start-up cache, which
    // have decided already.
    shortRuns(const javaVm& vm, const startupCache& cache);
    shortRuns(const shortRuns&) = delete;
    shortRuns& operator=(const shortRuns&) = delete;

    // The mode's VM options, to stand before the configured ones.
    const stringArray& getOptions() const { return options; }
    // After the child ended with status, having spent cpuMicroseconds of
    // CPU time (user and system): a timed run that ended by itself is
    // recorded.
    void finish(int status, long long cpuMicroseconds);

  private:
    void decide(const javaVm& vm, const startupCache& cache);

    ownedString recordPath;
    int timed;
    shortRunsMode mode;
    stringArray options;
};

// The option, or the JVM option variable, that sets the compilers' set-up
// already, for the reason why "shortruns" stands aside; null when none
// does. Owned by the caller.
char* createCompilerRefusal(const stringArray& vmOptions);

#endif
