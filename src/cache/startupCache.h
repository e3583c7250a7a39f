#ifndef LARKWIN_CACHE_STARTUPCACHE_H
#define LARKWIN_CACHE_STARTUPCACHE_H

#include "cache/cacheMechanism.h"
#include "cache/cacheShipping.h"
#include "runtime/javaRuntime.h"
#include "util/owned.h"
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
//
// It decides; the naming (cacheNames.h), the app image's archive
// (cacheShipping.h) and the assembly (cacheAssembly.h) are asked, and never
// call back.
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
    // The user's archive of this start (also where the image's is mapped);
    // null when the cache stands aside or makes an image's archive.
    const char* getUserArchive() const { return training ? nullptr : archive.get(); }
    // Whether the run maps an archive and lists no classes: one to time.
    int mapsArchiveOnly() const { return mapping && !relisting; }

  private:
    void decide(const javaVm& vm, javaRuntime& runtime);
    char* createRefusal(const javaVm& vm, javaRuntime& runtime);
    char* prepareStart(const javaVm& vm, javaRuntime& runtime, const char* shape);
    char* prepareTraining(const javaVm& vm, javaRuntime& runtime, const char* shape);
    void setArchive(char* path);
    void keepRuntime(const javaVm& vm, javaRuntime& runtime);
    int useShippedArchive(const javaVm& vm, javaRuntime& runtime, const char* shape);
    void keepDumpCommand(const javaVm& vm, javaRuntime& runtime);
    void map(const char* flag, const char* path);
    void prepare();
    void prepareRecording();
    int createClassList();
    int createProfile();
    void finishProfile(int status);
    void createLoadLog();
    void reportLoadLog() const;
    void prepareRelisting(cacheRecord& record);
    int isClearlyLarger() const;
    void startAssembly();
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
    int withoutProfiles;
    // The archive mapped is the image's own.
    int shipped;
    long long startedAt;
    unsigned long long expectedSize;
    ownedString archive;
    ownedString recordPath;
    ownedString lockPath;
    ownedString classList;
    // The recording run's class loading, where the list leaves classes out.
    ownedString loadLog;
    // A training run's AOT configuration, where it records profiles too.
    ownedString profile;
    const char* mainClass;
    ownedString runtimeHome;
    ownedString runtimeVersion;
    cacheShipping shipping;
    stringArray dumpCommand;
    stringArray options;
};

#endif
