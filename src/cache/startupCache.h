#ifndef LARKWIN_CACHE_STARTUPCACHE_H
#define LARKWIN_CACHE_STARTUPCACHE_H

#include "cache/cacheMechanism.h"
#include "runtime/javaRuntime.h"
#include "util/stringArray.h"

class cacheRecord;
class javaVm;

// The start-up cache of one launch: a static class-data archive of the
// application's classes, kept per application in the cache directory under
// a name made from a key of what the JVM checks when it maps it. A launch
// maps the archive of its key when it is sound; else its run lists the
// classes it loads, and once the launcher is done a detached java of low
// priority dumps the archive from that list, under a temporary name that
// is renamed into place when it is complete. The first few starts that map
// it list their classes too; when one loads clearly more classes (the first
// run was short, such as "app --version"), the archive is made again from
// that list, at most twice. Whenever anything is amiss the
// cache stands aside and the launch runs as it would without it; under
// +DEBUG it says what it did and why.
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
    // After the child has ended with status (128 + n for signal n): an
    // archive that a JVM crashed on during its start-up is removed; a class
    // list that holds the main class is handed to the assembly.
    void finish(int status);

  private:
    void decide(const javaVm& vm, javaRuntime& runtime);
    char* createRefusal(const javaVm& vm, javaRuntime& runtime);
    char* prepareStart(const javaVm& vm, javaRuntime& runtime, const char* shape);
    char* prepareTraining(const javaVm& vm, javaRuntime& runtime, const char* shape);
    char* createKeyHex(const javaVm& vm, javaRuntime& runtime, const char* shape,
                       const char* root) const;
    void setArchive(char* path);
    void keepRuntime(const javaVm& vm, javaRuntime& runtime);
    void nameArchive(const javaVm& vm, javaRuntime& runtime, const char* shape);
    char* createShippedPath(const javaVm& vm, javaRuntime& runtime, const char* shape) const;
    int useShippedArchive(const javaVm& vm, javaRuntime& runtime, const char* shape);
    void mapShippedArchive(char* shippedPath);
    void publishShippedArchive();
    void keepDumpCommand(const javaVm& vm, javaRuntime& runtime);
    void prepare();
    void prepareRecording();
    int createClassList();
    void prepareRelisting(cacheRecord& record);
    int isClearlyLarger() const;
    int listsMainClass() const;
    void startAssembly();
    void assemble();
    int dumpArchive(const char* trainee);
    int putInPlace(const char* trainee);
    void removeArchive() const;

    const char* directory;
    cacheMechanism mechanism;
    int featureVersion;
    int mapping;
    // A mapping run that lists its classes too, and what the archive's
    // record said of the list it was made from.
    int relisting;
    long long archivedClasses;
    int remakes;
    int recording;
    int waitForAssembly;
    // LARKWIN_STARTUP_CACHE=ship: the run makes the archive that its app
    // image ships (larkwin-pack --train), in the image.
    int training;
    // The archive mapped is the image's own.
    int shipped;
    long long startedAt;
    unsigned long long expectedSize;
    char* namePrefix;
    char* archive;
    char* recordPath;
    char* lockPath;
    char* classList;
    const char* mainClass;
    char* runtimeHome;
    char* runtimeVersion;
    char* imageRoot;
    // Where a training run's archive goes; then also the directory.
    char* trainingDirectory;
    // The user's record of the image's archive (see shippedArchive.h).
    char* seenPath;
    stringArray dumpCommand;
    stringArray options;
};

// Under +DEBUG: "startupcache: ", the format with its argument, a line end.
void reportStartupCache(const char* format, const char* argument);

// "Name-<application>-": the main class's own name (at most 48 characters,
// each but a letter or digit as "_"), then a hash of the executable's path
// and the main class, which every key of the same application shares.
// Owned by the caller.
char* createNamePrefix(const char* executable, const char* mainClass);

// The size limit of a cache directory: LARKWIN_STARTUP_CACHE_LIMIT (a size
// such as 300m or 2g) when it is one, else 512 MiB.
unsigned long long getCacheSizeLimit();

// CLOCK_MONOTONIC's seconds: when the launch began, for finish().
long long getMonotonicSeconds();

#endif
