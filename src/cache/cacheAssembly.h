#ifndef LARKWIN_CACHE_CACHEASSEMBLY_H
#define LARKWIN_CACHE_CACHEASSEMBLY_H

#include "cache/cacheMechanism.h"
#include "util/stringArray.h"

// What one assembly is to do. Every pointer is borrowed from the start that
// asks for it and must outlive the assembly.
struct assemblyOrder {
    // Where the archive goes, its record, the lock of its key, and the class
    // list it is made from (removed once the assembly is done).
    const char* archive;
    const char* recordPath;
    const char* lockPath;
    const char* classList;
    // The run's class loading, for the classes of the application's own
    // class loaders (removed too); null for none.
    const char* loadLog;
    // Instead of a class list: the training run's AOT configuration, from
    // which an AOT cache is created (removed too); null for none.
    const char* profile;
    // The java that dumps it, with the launch's paths and VM options.
    const stringArray* dumpCommand;
    cacheMechanism mechanism;
    // What the record says of the archive besides its size and checksum.
    const char* mainClass;
    const char* runtimeHome;
    const char* runtimeVersion;
    int remakes;
    // In the foreground, before the launcher ends; else after it, by a
    // detached java of low priority.
    int wait;
    // Readable by every user once in place: the archive an app image ships.
    int publish;
    // Kept within its size limit afterwards; null for none.
    const char* evictedDirectory;
};

// The making of one archive from a class list or an AOT configuration, once the launch is done: one
// per key at a time (a lock on the order's lock file says which), by a java
// of its own with nothing on the terminal, under a temporary name that is
// renamed into place with its record once it is complete.
class cacheAssembly {
  public:
    explicit cacheAssembly(const assemblyOrder& order) : order(order) {}
    cacheAssembly(const cacheAssembly&) = delete;
    cacheAssembly& operator=(const cacheAssembly&) = delete;

    // Takes the lock and assembles, or leaves that to a detached process
    // that holds the lock until it ends; when another holds the lock, only
    // removes the class list.
    void start();

  private:
    void assemble();
    int assembleFromList(const char* trainee);
    int assembleFromProfile(const char* trainee);
    int runDump(const stringArray& added);
    int dumpArchive(const char* trainee, const char* classList);
    int dumpWithLoaderClasses(const char* trainee, const char* merged, const char* loaders);
    void keepLoaderList(const char* merged, const char* loaders, int keep);
    int putInPlace(const char* trainee);

    const assemblyOrder& order;
};

// The classes a class list names (one a line).
long long countListedClasses(const char* classList);

// Whether the class list names the class (with slashes), as a line's first
// word.
int listsClass(const char* classList, const char* name);

#endif
