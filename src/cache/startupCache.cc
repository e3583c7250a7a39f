#include "cache/startupCache.h"

#include "cache/cacheDirectory.h"
#include "cache/cacheKey.h"
#include "unix/exePath.h"
#include "util/stringBuffer.h"
#include "util/strings.h"
#include "vm/javaVm.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

// Bumped whenever what goes into the key changes.
static const char* keyVersion = "larkwin startup cache 1";
// The file name keeps the start of the main class's own name, so that a
// person can tell whose archive it is.
static const int longestShownName = 48;

startupCache::startupCache(const javaVm& vm, javaRuntime& runtime)
    : directory(vm.startupCacheDir), mechanism(noCacheMechanism), training(0), key(0),
      namePrefix(nullptr), archive(nullptr), trainee(nullptr), configuration(nullptr),
      mainClass(vm.mainClass) {
    if (vm.useStartupCache) {
        decide(vm, runtime);
    }
}

startupCache::~startupCache() {
    delete[] namePrefix;
    delete[] archive;
    delete[] trainee;
    delete[] configuration;
}

void reportStartupCache(const char* format, const char* argument) {
    if (debug) {
        printf("startupcache: ");
        printf(format, argument);
        printf("\n");
    }
}

void startupCache::decide(const javaVm& vm, javaRuntime& runtime) {
    char* refusal = createRefusal(vm, runtime);
    if (refusal == nullptr) {
        nameArchive(vm, runtime);
        prepare();
    } else {
        reportStartupCache("not used: %s", refusal);
        delete[] refusal;
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

static char* createRuntimeRefusal(const char* home, cacheMechanism mechanism) {
    if (mechanism == noCacheMechanism) {
        return createMessage("the runtime in '%s' is older than Java 13 or does not say", home);
    }
    char* base = createString(home, "/lib/server/classes.jsa");
    char* refusal = nullptr;
    if (mechanism == dynamicArchive && !testFile(base)) {
        refusal = createMessage("the runtime has no base archive '%s'", base);
    }
    delete[] base;
    return refusal;
}

static char* createDirectoryRefusal(const char* directory) {
    if (makeCacheDirectory(directory) != 0) {
        return createMessage("the cache directory '%s' cannot be created", directory);
    }
    if (!isTrustedDirectory(directory)) {
        return createMessage(
            "the cache directory '%s' is not the user's own or others may write to it", directory);
    }
    return nullptr;
}

char* startupCache::createRefusal(const javaVm& vm, javaRuntime& runtime) {
    if (directory == nullptr) {
        return createStringCopy("neither XDG_CACHE_HOME nor HOME is set");
    }
    if (runtime.getHome() == nullptr) {
        return createStringCopy("the java path cannot be resolved");
    }
    mechanism = chooseCacheMechanism(runtime.getFeatureVersion());
    char* refusal = createRuntimeRefusal(runtime.getHome(), mechanism);
    if (refusal == nullptr) {
        refusal = createOptionRefusal(vm.vmOptions);
    }
    if (refusal == nullptr) {
        refusal = createPathRefusal(vm.classPath);
    }
    if (refusal == nullptr) {
        refusal = createPathRefusal(vm.bootPath);
    }
    if (refusal == nullptr) {
        refusal = createDirectoryRefusal(directory);
    }
    return refusal;
}

// The exact build of the runtime: its version, where it lies, and the files
// that an archive is bound to.
static void addRuntimeState(cacheKey& digest, javaRuntime& runtime) {
    const char* home = runtime.getHome();
    char* version = runtime.getRelease()->createValue("JAVA_RUNTIME_VERSION");
    digest.addText(home);
    digest.addText(version != nullptr ? version : "");
    delete[] version;
    const char* files[] = {"/lib/server/libjvm.so", "/lib/server/classes.jsa"};
    for (const char* file : files) {
        char* path = createString(home, file);
        digest.addFileState(path);
        delete[] path;
    }
}

// "Name-<application>-": the main class's own name, then a hash of it and of
// the executable, which every key of the same application shares.
static char* createNamePrefix(const char* mainClass) {
    cacheKey application;
    application.addText(HACKexePath != nullptr ? HACKexePath : "");
    application.addText(mainClass);
    const char* slash = strrchr(mainClass, '/');
    const char* name = slash != nullptr ? slash + 1 : mainClass;
    stringBuffer prefix;
    for (int i = 0; name[i] != 0 && i < longestShownName; i++) {
        char c = name[i];
        int plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        prefix.append(plain ? c : '_');
    }
    char* hex = application.createHex();
    prefix.append('-');
    prefix.append(hex);
    prefix.append('-');
    delete[] hex;
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

void startupCache::nameArchive(const javaVm& vm, javaRuntime& runtime) {
    cacheKey digest;
    digest.addText(keyVersion);
    digest.addNumber(mechanism);
    addRuntimeState(digest, runtime);
    addLaunchState(digest, vm);
    key = digest.getValue();
    namePrefix = createNamePrefix(vm.mainClass);
    char* keyHex = digest.createHex();
    archive =
        createCachePath(directory, namePrefix, keyHex, mechanism == aotCache ? ".aot" : ".jsa");
    char ending[48];
    snprintf(ending, sizeof ending, ".%ld.tmp", (long)getpid());
    trainee = createCachePath(directory, namePrefix, keyHex, ending);
    snprintf(ending, sizeof ending, ".%ld.aotconf", (long)getpid());
    configuration = createCachePath(directory, namePrefix, keyHex, ending);
    delete[] keyHex;
}

static int isPresent(const char* path) {
    struct stat status;
    return lstat(path, &status) == 0;
}

void startupCache::prepare() {
    options.append(createStringCopy(getQuietLogOption(mechanism)));
    if (isTrustedArchive(archive, getArchiveStamp(key))) {
        reportStartupCache("using '%s'", archive);
        options.append(createString(
            mechanism == aotCache ? "-XX:AOTCache=" : "-XX:SharedArchiveFile=", archive));
        return;
    }
    if (isPresent(archive)) {
        reportStartupCache("'%s' is not the user's own or has changed since it was made", archive);
    }
    if (!hasRoomToTrain(directory)) {
        reportStartupCache("not trained: less than 512 MiB free in '%s', or a file size limit",
                           directory);
        options.remove(0);
        return;
    }
    reportStartupCache("training '%s'", archive);
    training = 1;
    if (mechanism == dynamicArchive) {
        options.append(createString("-XX:ArchiveClassesAtExit=", trainee));
        return;
    }
    // The recording run says on standard output where it put the
    // configuration, whatever -Xlog says; nothing else is lost but the VM's
    // own console output of that one run (thread dumps, -XX:+Print...).
    options.append(createStringCopy("-XX:+UnlockDiagnosticVMOptions"));
    options.append(createStringCopy("-XX:-DisplayVMOutput"));
    options.append(createStringCopy("-XX:AOTMode=record"));
    options.append(createString("-XX:AOTConfiguration=", configuration));
}
