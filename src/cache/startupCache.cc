#include "cache/startupCache.h"

#include "cache/cacheDirectory.h"
#include "cache/cacheKey.h"
#include "cache/cacheRecord.h"
#include "cache/shippedArchive.h"
#include "cache/vmShape.h"
#include "unix/exePath.h"
#include "util/owned.h"
#include "util/stringBuffer.h"
#include "util/strings.h"
#include "vm/javaVm.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

// Bumped whenever what goes into the key changes.
static const char* keyVersion = "larkwin startup cache 2";
static const int longestShownName = 48;
static const unsigned long long defaultSizeLimit = 512ull * 1024 * 1024;
// How many starts after an archive is made list their classes too, and how
// often an archive is made again for a larger run.
static const int relistedUses = 3;
static const int maxRemakes = 2;

long long getMonotonicSeconds() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (long long)now.tv_sec;
}

startupCache::startupCache(const javaVm& vm, javaRuntime& runtime)
    : directory(vm.startupCacheDir), mechanism(noCacheMechanism), featureVersion(0), mapping(0),
      relisting(0), archivedClasses(0), remakes(0), recording(0), waitForAssembly(0), training(0),
      shipped(0), startedAt(getMonotonicSeconds()), expectedSize(0), namePrefix(nullptr),
      archive(nullptr), recordPath(nullptr), lockPath(nullptr), classList(nullptr),
      mainClass(vm.mainClass), runtimeHome(nullptr), runtimeVersion(nullptr), imageRoot(nullptr),
      trainingDirectory(nullptr), seenPath(nullptr) {
    if (vm.useStartupCache) {
        decide(vm, runtime);
    }
}

// A launch that never reached finish() leaves no class list behind.
startupCache::~startupCache() {
    if (recording || relisting) {
        unlink(classList);
    }
    delete[] namePrefix;
    delete[] archive;
    delete[] recordPath;
    delete[] lockPath;
    delete[] classList;
    delete[] runtimeHome;
    delete[] runtimeVersion;
    delete[] imageRoot;
    delete[] trainingDirectory;
    delete[] seenPath;
}

void reportStartupCache(const char* format, const char* argument) {
    if (debug) {
        printf("startupcache: ");
        printf(format, argument);
        printf("\n");
    }
}

unsigned long long getCacheSizeLimit() {
    const char* text = getenv("LARKWIN_STARTUP_CACHE_LIMIT");
    unsigned long long limit = text != nullptr ? parseMemorySize(text) : 0;
    return limit != 0 ? limit : defaultSizeLimit;
}

void startupCache::decide(const javaVm& vm, javaRuntime& runtime) {
    const char* control = getenv("LARKWIN_STARTUP_CACHE");
    if (control != nullptr && strcmp(control, "off") == 0) {
        reportStartupCache("not used: %s", "LARKWIN_STARTUP_CACHE is off");
        return;
    }
    training = control != nullptr && strcmp(control, "ship") == 0;
    waitForAssembly = training || (control != nullptr && strcmp(control, "wait") == 0);
    ownedString refusal(createRefusal(vm, runtime));
    if (refusal != nullptr) {
        reportStartupCache("not used: %s", refusal.get());
    }
}

static int isWildcard(const char* entry) {
    size_t length = strlen(entry);
    return length > 0 && entry[length - 1] == '*';
}

static int isFilledDirectory(const char* entry) {
    DIR* listing = opendir(entry);
    if (listing == nullptr) {
        return 0;
    }
    int filled = 0;
    for (struct dirent* found = readdir(listing); found != nullptr && !filled;
         found = readdir(listing)) {
        filled = strcmp(found->d_name, ".") != 0 && strcmp(found->d_name, "..") != 0;
    }
    closedir(listing);
    return filled;
}

// Class data sharing refuses a directory that holds anything, and the files
// a wildcard stands for are not known here.
static char* createPathRefusal(const stringArray& entries) {
    for (int i = 0; i < entries.size(); i++) {
        if (isWildcard(entries[i])) {
            return createMessage("the class path entry '%s' is a wildcard", entries[i]);
        }
        if (isFilledDirectory(entries[i])) {
            return createMessage("the class path directory '%s' is not empty", entries[i]);
        }
    }
    return nullptr;
}

static char* createOptionRefusal(const stringArray& options) {
    for (int i = 0; i < options.size(); i++) {
        if (takesCacheOver(options[i])) {
            return createMessage("the VM option '%s' takes class data sharing over", options[i]);
        }
    }
    const char* names[] = {"JAVA_TOOL_OPTIONS", "JDK_JAVA_OPTIONS", "_JAVA_OPTIONS"};
    for (const char* name : names) {
        const char* value = getenv(name);
        if (value != nullptr && takesCacheOverInText(value)) {
            return createMessage("%s holds options that take class data sharing over", name);
        }
    }
    return nullptr;
}

static char* createDirectoryRefusal(const char* directory) {
    if (makeCacheDirectory(directory) != 0) {
        return createMessage("the cache directory '%s' cannot be created", directory);
    }
    if (!isTrustedDirectory(directory)) {
        return createMessage(
            "the cache directory '%s' is not the user's own or others may write to it", directory);
    }
    if (isReplaceableByOthers(directory)) {
        return createMessage("others may write to the directory that holds '%s'", directory);
    }
    return nullptr;
}

// The refusals that need no more than the options and the paths.
static char* createLaunchRefusal(const javaVm& vm) {
    char* refusal = createOptionRefusal(vm.vmOptions);
    if (refusal == nullptr) {
        refusal = createPathRefusal(vm.classPath);
    }
    return refusal != nullptr ? refusal : createPathRefusal(vm.bootPath);
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
    nameArchive(vm, runtime, shape);
    keepDumpCommand(vm, runtime);
    if (!useShippedArchive(vm, runtime, shape)) {
        prepare();
    }
    return nullptr;
}

// The exact build of the runtime: its version, where it lies, and the files
// that an archive is bound to.
static void addRuntimeState(cacheKey& digest, javaRuntime& runtime) {
    const char* home = runtime.getHome();
    ownedString version(runtime.getRelease()->createValue("JAVA_RUNTIME_VERSION"));
    digest.addPath(home);
    digest.addText(version != nullptr ? version.get() : "");
    ownedString library(createString(home, "/lib/server/libjvm.so"));
    digest.addFileState(library.get());
    ownedString modules(createString(home, "/lib/modules"));
    digest.addFileState(modules.get());
}

// The main class's own name, at most 48 characters, each but a letter or
// digit as "_".
static void appendShownName(stringBuffer& text, const char* mainClass) {
    const char* slash = strrchr(mainClass, '/');
    const char* name = slash != nullptr ? slash + 1 : mainClass;
    for (int i = 0; name[i] != 0 && i < longestShownName; i++) {
        char c = name[i];
        int plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        text.append(plain ? c : '_');
    }
}

char* createNamePrefix(const char* executable, const char* mainClass) {
    cacheKey application;
    application.addText(executable != nullptr ? executable : "");
    application.addText(mainClass);
    stringBuffer prefix;
    appendShownName(prefix, mainClass);
    ownedString hex(application.createHex());
    prefix.append('-');
    prefix.append(hex.get());
    prefix.append('-');
    return prefix.createString();
}

static char* createCachePath(const char* directory, const char* prefix, const char* keyHex,
                             const char* ending) {
    stringBuffer path;
    path.append(directory);
    path.append('/');
    path.append(prefix);
    path.append(keyHex);
    path.append(ending);
    return path.createString();
}

// A static archive holds the runtime's own classes too: its size is about
// that of the runtime's base archive and twice the application's jars.
static unsigned long long estimateArchiveSize(const javaVm& vm, const char* home) {
    ownedString base(createString(home, "/lib/server/classes.jsa"));
    struct stat status;
    unsigned long long size =
        stat(base.get(), &status) == 0 ? (unsigned long long)status.st_size : 0;
    for (int i = 0; i < vm.classPath.size(); i++) {
        if (stat(vm.classPath[i], &status) == 0 && S_ISREG(status.st_mode)) {
            size += 2 * (unsigned long long)status.st_size;
        }
    }
    return size + 16ull * 1024 * 1024;
}

char* startupCache::createKeyHex(const javaVm& vm, javaRuntime& runtime, const char* shape,
                                 const char* root) const {
    stringArray all;
    collectVmOptions(all, vm.vmOptions);
    cacheKey digest;
    digest.setImageRoot(root);
    digest.addText(keyVersion);
    digest.addNumber(mechanism);
    addRuntimeState(digest, runtime);
    addLaunchState(digest, vm, all, shape);
    return digest.createHex();
}

void startupCache::setArchive(char* path) {
    archive = path;
    recordPath = createString(archive, ".info");
    lockPath = createString(archive, ".lock");
}

void startupCache::keepRuntime(const javaVm& vm, javaRuntime& runtime) {
    runtimeHome = createStringCopy(runtime.getHome());
    runtimeVersion = runtime.getRelease()->createValue("JAVA_RUNTIME_VERSION");
    expectedSize = estimateArchiveSize(vm, runtimeHome);
}

void startupCache::nameArchive(const javaVm& vm, javaRuntime& runtime, const char* shape) {
    namePrefix = createNamePrefix(HACKexePath, vm.mainClass);
    ownedString keyHex(createKeyHex(vm, runtime, shape, nullptr));
    setArchive(createCachePath(directory, namePrefix, keyHex.get(), ".jsa"));
    keepRuntime(vm, runtime);
}

// "IMAGE/lib/startupcache/<Name>-<key>.jsa", whose key holds the paths in
// the image relative to it where the runtime maps the archive after a move.
char* startupCache::createShippedPath(const javaVm& vm, javaRuntime& runtime,
                                      const char* shape) const {
    const char* root = isMovableArchive(featureVersion) ? imageRoot : nullptr;
    ownedString keyHex(createKeyHex(vm, runtime, shape, root));
    ownedString shippedDirectory(createShippedDirectory(imageRoot));
    stringBuffer name;
    appendShownName(name, vm.mainClass);
    name.append('-');
    ownedString prefix(name.createString());
    return createCachePath(shippedDirectory.get(), prefix.get(), keyHex.get(), ".jsa");
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
    unlink(archive);
    unlink(recordPath);
}

void startupCache::prepare() {
    cacheRecord record;
    archiveState state = checkArchive(archive, recordPath, record);
    if (state == archiveSound) {
        reportStartupCache("using '%s'", archive);
        utimensat(AT_FDCWD, recordPath, nullptr, AT_SYMLINK_NOFOLLOW);
        options.append(createStringCopy(getQuietLogOption(featureVersion)));
        options.append(createString("-XX:SharedArchiveFile=", archive));
        mapping = 1;
        prepareRelisting(record);
        return;
    }
    if (state == archiveDamaged) {
        reportStartupCache("removed '%s': damaged, changed, or not the user's own", archive);
        removeArchive();
    }
    prepareRecording();
}

void startupCache::prepareRecording() {
    if (isLocked(lockPath)) {
        reportStartupCache("not recorded: '%s' is being assembled", archive);
        return;
    }
    ownedString refusal(createWriteRefusal(directory, expectedSize));
    if (refusal != nullptr) {
        reportStartupCache("not recorded: %s", refusal.get());
        return;
    }
    if (!createClassList()) {
        reportStartupCache("not recorded: no class list can be made beside '%s'", archive);
        return;
    }
    reportStartupCache("recording the classes for '%s'", archive);
    recording = 1;
}

int startupCache::createClassList() {
    classList = createString(archive, ".XXXXXX.classlist");
    int fd = mkstemps(classList, (int)strlen(".classlist"));
    if (fd < 0) {
        delete[] classList;
        classList = nullptr;
        return 0;
    }
    close(fd);
    options.append(createString("-XX:DumpLoadedClassList=", classList));
    return 1;
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
    if (refusal == nullptr && record.write(recordPath) && createClassList()) {
        reportStartupCache("listing the classes too, to see whether '%s' is too small", archive);
        relisting = 1;
    }
}
