#include "cache/startupCache.h"

#include "cache/cacheAssembly.h"
#include "cache/cacheDirectory.h"
#include "cache/cacheNames.h"
#include "cache/cacheRecord.h"
#include "cache/cacheRefusal.h"
#include "cache/cacheReport.h"
#include "cache/loaderClasses.h"
#include "cache/shippedArchive.h"
#include "cache/vmShape.h"
#include "unix/exePath.h"
#include "util/strings.h"
#include "vm/javaVm.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <utility>

// How many starts after an archive is made list their classes too, and how
// often an archive is made again for a larger run.
static const int relistedUses = 3;
static const int maxRemakes = 2;
// A crash this soon after the start is taken for one in the JVM's start-up.
static const long long startUpSeconds = 30;

// CLOCK_MONOTONIC's seconds: when the launch began, for finish().
static long long getMonotonicSeconds() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (long long)now.tv_sec;
}

startupCache::startupCache(const javaVm& vm, javaRuntime& runtime)
    : directory(vm.startupCacheDir), mechanism(noCacheMechanism), featureVersion(0), mapping(0),
      relisting(0), archivedClasses(0), remakes(0), recording(0), waitForAssembly(0), training(0),
      withoutProfiles(0), shipped(0), startedAt(getMonotonicSeconds()), expectedSize(0),
      mainClass(vm.mainClass) {
    if (vm.useStartupCache) {
        decide(vm, runtime);
    }
}

// A launch that never reached finish() leaves no class list behind.
startupCache::~startupCache() {
    if (recording || relisting) {
        removeClassList(classList.get(), loadLog.get());
    }
    if (recording && profile != nullptr) {
        unlink(profile.get());
    }
}

void startupCache::decide(const javaVm& vm, javaRuntime& runtime) {
    const char* control = getenv("LARKWIN_STARTUP_CACHE");
    if (control != nullptr && strcmp(control, "off") == 0) {
        reportStartupCache("not used: LARKWIN_STARTUP_CACHE is off");
        return;
    }
    // "ship-static": as "ship", but without the method profiles, which
    // larkwin-pack compares with.
    withoutProfiles = control != nullptr && strcmp(control, "ship-static") == 0;
    training = withoutProfiles || (control != nullptr && strcmp(control, "ship") == 0);
    waitForAssembly = training || (control != nullptr && strcmp(control, "wait") == 0);
    ownedString refusal(createRefusal(vm, runtime));
    if (refusal != nullptr) {
        reportStartupCache("not used: %s", refusal.get());
    }
}

// Null when the cache goes ahead (the archive named and the options set).
char* startupCache::createRefusal(const javaVm& vm, javaRuntime& runtime) {
    if (directory == nullptr && !training) {
        return createStringCopy("neither XDG_CACHE_HOME nor HOME is set");
    }
    if (runtime.getHome() == nullptr) {
        return createStringCopy("the java path cannot be resolved");
    }
    featureVersion = runtime.getFeatureVersion();
    mechanism = chooseCacheMechanism(featureVersion);
    if (mechanism == noCacheMechanism) {
        return createMessage("the runtime in '%s' is older than Java 13 or does not say",
                             runtime.getHome());
    }
    char* refusal = createLaunchRefusal(vm);
    if (refusal != nullptr) {
        return refusal;
    }
    stringArray all;
    collectVmOptions(all, vm.vmOptions);
    vmShape shape(all, runtime.getFeatureVersion(), readMachineSize());
    refusal = shape.createBaseArchiveRefusal(runtime.getHome());
    if (refusal == nullptr && !training) {
        refusal = createDirectoryRefusal(directory);
    }
    if (refusal != nullptr) {
        return refusal;
    }
    ownedString description(shape.createDescription());
    return training ? prepareTraining(vm, runtime, description.get())
                    : prepareStart(vm, runtime, description.get());
}

// The image's archive when it fits this start, else the user's cache.
char* startupCache::prepareStart(const javaVm& vm, javaRuntime& runtime, const char* shape) {
    ownedString prefix(createNamePrefix(HACKexePath, vm.mainClass));
    ownedString keyHex(createKeyHex(vm, runtime, mechanism, shape, 0, nullptr));
    setArchive(createCachePath(directory, prefix.get(), keyHex.get(), ".jsa"));
    keepRuntime(vm, runtime);
    keepDumpCommand(vm, runtime);
    if (!useShippedArchive(vm, runtime, shape)) {
        prepare();
    }
    return nullptr;
}

// The archive is made in the image, the way a start makes one in the
// user's cache, and the launcher waits for it.
char* startupCache::prepareTraining(const javaVm& vm, javaRuntime& runtime, const char* shape) {
    if (!shipping.findImage(vm, runtime.getHome())) {
        return createStringCopy("the runtime is not the one of the launcher's app image");
    }
    char* refusal = shipping.createTrainingRefusal();
    if (refusal != nullptr) {
        return refusal;
    }
    directory = shipping.getDirectory();
    const char* root = isMovableArchive(featureVersion) ? shipping.getImageRoot() : nullptr;
    ownedString keyHex(createKeyHex(vm, runtime, mechanism, shape, 1, root));
    setArchive(createShippedPath(directory, vm.mainClass, keyHex.get()));
    keepRuntime(vm, runtime);
    keepDumpCommand(vm, runtime);
    removeArchive();
    prepareRecording();
    return nullptr;
}

void startupCache::setArchive(char* path) {
    archive.reset(path);
    recordPath.reset(createString(path, ".info"));
    lockPath.reset(createString(path, ".lock"));
}

void startupCache::keepRuntime(const javaVm& vm, javaRuntime& runtime) {
    runtimeHome.reset(createStringCopy(runtime.getHome()));
    runtimeVersion.reset(runtime.getRelease()->createValue("JAVA_RUNTIME_VERSION"));
    expectedSize = estimateArchiveSize(vm, runtimeHome.get());
}

// After the user's archive is named, whose record of the image's archive
// sits beside it. "IMAGE/lib/startupcache/<Name>-<key>.jsa", whose key holds
// the paths in the image relative to it where the runtime maps the archive
// after a move.
int startupCache::useShippedArchive(const javaVm& vm, javaRuntime& runtime, const char* shape) {
    if (!shipping.findImage(vm, runtime.getHome())) {
        return 0;
    }
    const char* root = isMovableArchive(featureVersion) ? shipping.getImageRoot() : nullptr;
    ownedString keyHex(createKeyHex(vm, runtime, mechanism, shape, 1, root));
    char* shippedPath =
        createShippedPath(shipping.getShippedDirectory(), vm.mainClass, keyHex.get());
    if (!shipping.choose(shippedPath, createString(archive.get(), ".shipped"))) {
        return 0;
    }
    // An image trained on such a runtime may ship an AOT cache with profiles.
    map(trainsWithProfiles(featureVersion) ? "-XX:AOTCache=" : "-XX:SharedArchiveFile=",
        shipping.getArchive());
    shipped = 1;
    return 1;
}

// The dump's java takes the launch's paths and VM options, but not what
// would write elsewhere (logs, the environment dump's path).
void startupCache::keepDumpCommand(const javaVm& vm, javaRuntime& runtime) {
    dumpCommand.append(createStringCopy(vm.javaPath));
    if (vm.classPath.size() > 0) {
        dumpCommand.append(createStringCopy("-cp"));
        dumpCommand.append(vm.createPath(&vm.classPath));
    }
    if (vm.bootPath.size() > 0) {
        ownedString joined(vm.createPath(&vm.bootPath));
        dumpCommand.append(createString("-Xbootclasspath/a:", joined.get()));
    }
    for (int i = 0; i < vm.vmOptions.size(); i++) {
        const char* option = vm.vmOptions[i];
        if (!startsWith(option, "-Xlog") && !startsWith(option, "-verbose") &&
            !startsWith(option, "-Dlarkwin.exportenv=")) {
            dumpCommand.append(createStringCopy(option));
        }
    }
    dumpCommand.append(createStringCopy(getQuietLogOption(runtime.getFeatureVersion())));
}

static int isLocked(const char* path) {
    int fd = open(path, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    int locked = flock(fd, LOCK_SH | LOCK_NB) != 0;
    close(fd);
    return locked;
}

void startupCache::removeArchive() const {
    unlink(archive.get());
    unlink(recordPath.get());
    unlink(ownedString(createLoaderListPath(archive.get())).get());
}

void startupCache::map(const char* flag, const char* path) {
    options.append(createStringCopy(getQuietLogOption(featureVersion)));
    options.append(createString(flag, path));
    mapping = 1;
}

void startupCache::prepare() {
    cacheRecord record;
    archiveState state = checkArchive(archive.get(), recordPath.get(), record);
    if (state == archiveSound) {
        reportStartupCache("using '%s'", archive.get());
        utimensat(AT_FDCWD, recordPath.get(), nullptr, AT_SYMLINK_NOFOLLOW);
        map("-XX:SharedArchiveFile=", archive.get());
        prepareRelisting(record);
        return;
    }
    if (state == archiveDamaged) {
        reportStartupCache("removed '%s': damaged, changed, or not the user's own", archive.get());
        removeArchive();
    }
    prepareRecording();
}

void startupCache::prepareRecording() {
    if (isLocked(lockPath.get())) {
        reportStartupCache("not recorded: '%s' is being assembled", archive.get());
        return;
    }
    ownedString refusal(createWriteRefusal(directory, expectedSize));
    if (refusal != nullptr) {
        reportStartupCache("not recorded: %s", refusal.get());
        return;
    }
    if (training && !withoutProfiles && trainsWithProfiles(featureVersion)) {
        if (!createProfile()) {
            reportStartupCache("not recorded: no AOT configuration can be made beside '%s': %s",
                               archive.get(), strerror(errno));
            return;
        }
        reportStartupCache("recording the classes and their profiles for '%s'", archive.get());
        recording = 1;
        return;
    }
    if (!createClassList()) {
        reportStartupCache("not recorded: no class list can be made beside '%s': %s", archive.get(),
                           strerror(errno));
        return;
    }
    reportStartupCache("recording the classes for '%s'", archive.get());
    reportLoadLog();
    recording = 1;
}

int startupCache::createClassList() {
    ownedString list(createString(archive.get(), ".XXXXXX.classlist"));
    int fd = mkstemps(list.get(), (int)strlen(".classlist"));
    if (fd < 0) {
        return 0;
    }
    close(fd);
    options.append(createString("-XX:DumpLoadedClassList=", list.get()));
    classList = std::move(list);
    if (mechanism == staticArchive && logsLoaderClasses(featureVersion)) {
        createLoadLog();
    }
    return 1;
}

// The JVM refuses a class list beside a recording, and records the classes
// of every loader itself. Its messages about classes it leaves out stay off
// the training run's output.
int startupCache::createProfile() {
    ownedString path(createString(archive.get(), ".XXXXXX.aotconf"));
    int fd = mkstemps(path.get(), (int)strlen(".aotconf"));
    if (fd < 0) {
        return 0;
    }
    close(fd);
    options.append(createStringCopy(getQuietLogOption(featureVersion)));
    options.append(createStringCopy("-XX:AOTMode=record"));
    options.append(createString("-XX:AOTConfiguration=", path.get()));
    profile = std::move(path);
    return 1;
}

void startupCache::reportLoadLog() const {
    if (loadLog != nullptr) {
        reportStartupCache("logging the classes of other class loaders too, in '%s'",
                           loadLog.get());
    }
}

// Beside the class list, for the classes that the list leaves out.
void startupCache::createLoadLog() {
    ownedString log(createString(classList.get(), ".log"));
    int fd = open(log.get(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        return;
    }
    close(fd);
    ownedString option(createLoadLogOption(log.get()));
    if (option == nullptr) {
        unlink(log.get());
        return;
    }
    options.append(option.release());
    loadLog = std::move(log);
}

// The use is counted in the record (a small write, for these few starts).
void startupCache::prepareRelisting(cacheRecord& record) {
    archivedClasses = record.classes;
    remakes = record.remakes;
    if (record.uses >= relistedUses || record.remakes >= maxRemakes) {
        return;
    }
    record.uses++;
    ownedString refusal(createWriteRefusal(directory, expectedSize));
    if (refusal == nullptr && record.write(recordPath.get()) && createClassList()) {
        reportStartupCache("listing the classes too, to see whether '%s' is too small",
                           archive.get());
        reportLoadLog();
        relisting = 1;
    }
}

static int isCrash(int status) {
    const int crashes[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGSYS, SIGTRAP};
    for (int crash : crashes) {
        if (status == 128 + crash) {
            return 1;
        }
    }
    return 0;
}

void startupCache::finish(int status) {
    if (mapping && isCrash(status) && getMonotonicSeconds() - startedAt <= startUpSeconds) {
        if (shipped) {
            shipping.refuse();
        } else {
            reportStartupCache("removed '%s': the JVM that mapped it crashed", archive.get());
            removeArchive();
        }
    }
    if (relisting) {
        relisting = 0;
        if (!isCrash(status) && isClearlyLarger()) {
            remakes++;
            startAssembly();
        } else {
            removeClassList(classList.get(), loadLog.get());
        }
        return;
    }
    if (!recording) {
        return;
    }
    recording = 0;
    if (profile != nullptr) {
        finishProfile(status);
        return;
    }
    if (listsClass(classList.get(), mainClass)) {
        startAssembly();
        return;
    }
    removeClassList(classList.get(), loadLog.get());
    reportStartupCache("no archive for '%s': the run did not load its main class", archive.get());
}

// The JVM writes the configuration as it exits, after a run that got as far
// as the application's own exit.
void startupCache::finishProfile(int status) {
    struct stat written;
    if (status == 0 && stat(profile.get(), &written) == 0 && written.st_size > 0) {
        startAssembly();
        return;
    }
    unlink(profile.get());
    reportStartupCache("no archive for '%s': the training run recorded no profiles", archive.get());
}

// A quarter more classes than the archive was made from, and a hundred at
// least: not just another path through the same start.
int startupCache::isClearlyLarger() const {
    long long listed = countListedClasses(classList.get());
    return listed >= archivedClasses + archivedClasses / 4 + 100 &&
           listsClass(classList.get(), mainClass);
}

void startupCache::startAssembly() {
    assemblyOrder order;
    order.archive = archive.get();
    order.recordPath = recordPath.get();
    order.lockPath = lockPath.get();
    order.classList = classList.get();
    order.loadLog = loadLog.get();
    order.profile = profile.get();
    order.dumpCommand = &dumpCommand;
    order.mechanism = mechanism;
    order.mainClass = mainClass;
    order.runtimeHome = runtimeHome.get();
    order.runtimeVersion = runtimeVersion.get();
    order.remakes = remakes;
    order.wait = waitForAssembly;
    order.publish = training;
    order.evictedDirectory = training ? nullptr : directory;
    cacheAssembly(order).start();
}
