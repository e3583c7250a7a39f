#ifndef LARKWIN_CACHE_STARTUPCACHE_H
#define LARKWIN_CACHE_STARTUPCACHE_H

#include "cache/cacheMechanism.h"
#include "runtime/javaRuntime.h"
#include "util/stringArray.h"

class javaVm;

// The start-up cache of one launch: an archive of the application's classes,
// kept per application in the cache directory under a name made from a key
// of everything the archive depends on. A launch uses the archive of its key
// when there is one, else trains it: the JVM writes it under a temporary name
// and finish() puts it in place once it is complete. Whenever anything is
// amiss the cache stands aside and the launch runs as it would without it;
// under +DEBUG it says what it did.
class startupCache {
  public:
    // Decides from the launch description, which outlives the cache, and
    // its runtime: nothing at all happens (nor is the runtime looked at)
    // unless the configuration asked for the cache.
    startupCache(const javaVm& vm, javaRuntime& runtime);
    ~startupCache();
    startupCache(const startupCache&) = delete;
    startupCache& operator=(const startupCache&) = delete;

    // The cache's VM options, to stand before the configured ones.
    const stringArray& getOptions() const { return options; }
    // After the child that ran arguments (its null-terminated command line)
    // has ended: a trained archive that is complete goes in place and those
    // that older keys of the application left are removed; anything
    // incomplete is removed.
    void finish(char** arguments);

  private:
    void decide(const javaVm& vm, javaRuntime& runtime);
    char* createRefusal(const javaVm& vm, javaRuntime& runtime);
    void nameArchive(const javaVm& vm, javaRuntime& runtime);
    void prepare();
    void createAotCache(char** arguments);
    int isTraineeComplete() const;
    void removeLeftovers() const;

    const char* directory;
    cacheMechanism mechanism;
    int training;
    unsigned long long key;
    char* namePrefix;
    char* archive;
    char* trainee;
    char* configuration;
    const char* mainClass;
    stringArray options;
};

// Under +DEBUG: "startupcache: ", the format with its argument, a line end.
void reportStartupCache(const char* format, const char* argument);

#endif
