#include "cache/cacheKey.h"

#include "cache/zipDigest.h"
#include "unix/files.h"
#include "util/owned.h"
#include "util/strings.h"
#include "vm/javaVm.h"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>

static const uint64_t fnvOffsetBasis = 14695981039346656037ull;
static const uint64_t fnvPrime = 1099511628211ull;

cacheKey::cacheKey() : value(fnvOffsetBasis), imageRoot(nullptr), byContent(0) {}

void cacheKey::addBytes(const char* bytes, unsigned long length) {
    for (unsigned long i = 0; i < length; i++) {
        value ^= (unsigned char)bytes[i];
        value *= fnvPrime;
    }
}

void cacheKey::addText(const char* text) {
    addBytes(text, strlen(text) + 1);
}

void cacheKey::addNumber(long long number) {
    char digits[24];
    snprintf(digits, sizeof digits, "%lld", number);
    addText(digits);
}

void cacheKey::addPath(const char* path) {
    size_t length = imageRoot != nullptr ? strlen(imageRoot) : 0;
    if (length > 0 && strncmp(path, imageRoot, length) == 0 && path[length] == '/') {
        addBytes("<image>", strlen("<image>"));
        addText(path + length);
        return;
    }
    addText(path);
}

void cacheKey::addFileState(const char* path) {
    // A link to the launcher (a package's /usr/bin/NAME) names the image's
    // file, which the JVM compares by the file itself.
    struct stat status;
    ownedString canonical(byContent && lstat(path, &status) == 0 && S_ISLNK(status.st_mode)
                              ? createCanonicalPath(path)
                              : nullptr);
    const char* named = canonical != nullptr ? canonical.get() : path;
    addPath(named);
    if (stat(named, &status) != 0) {
        addText("missing");
        return;
    }
    addNumber(S_ISDIR(status.st_mode) ? 'd' : S_ISREG(status.st_mode) ? 'f' : 'o');
    addNumber((long long)status.st_size);
    addNumber((long long)status.st_mtim.tv_sec);
    addNumber((long long)status.st_mtim.tv_nsec);
    if (byContent) {
        addNumber(S_ISREG(status.st_mode) ? (long long)digestZipDirectory(named) : 0);
        return;
    }
    addNumber((long long)status.st_ino);
    addNumber((long long)status.st_ctim.tv_sec);
    addNumber((long long)status.st_ctim.tv_nsec);
}

char* cacheKey::createHex() const {
    char* hex = new char[17];
    snprintf(hex, 17, "%016llx", (unsigned long long)value);
    return hex;
}

// Options by their start; "-XX:" ones by their flag's name after + or -.
static const char* const leftOutPrefixes[] = {"-D",   "-Xlog", "-verbose", "-Xmx",
                                              "-Xms", "-Xmn",  "-Xss"};
static const char* const leftOutFlags[] = {
    "MaxHeapSize=",
    "InitialHeapSize=",
    "MinHeapSize=",
    "MaxRAM=",
    "MaxRAMPercentage=",
    "MinRAMPercentage=",
    "InitialRAMPercentage=",
    "MaxRAMFraction=",
    "ActiveProcessorCount=",
    "ExitOnOutOfMemoryError",
    "HeapDumpOnOutOfMemoryError",
    "HeapDumpPath=",
    "ErrorFile=",
    "OnError=",
    "OnOutOfMemoryError=",
    "ThreadStackSize=",
    "UseSerialGC",
    "UseParallelGC",
    "UseG1GC",
    "UseZGC",
    "UseShenandoahGC",
    "UseEpsilonGC",
    "UseCompressedOops",
};

int isKeyOption(const char* option) {
    for (const char* prefix : leftOutPrefixes) {
        if (startsWith(option, prefix)) {
            return 0;
        }
    }
    if (!startsWith(option, "-XX:")) {
        return 1;
    }
    const char* flag = option + 4;
    if (*flag == '+' || *flag == '-') {
        flag++;
    }
    for (const char* leftOut : leftOutFlags) {
        if (startsWith(flag, leftOut)) {
            return 0;
        }
    }
    return 1;
}

static void addEachFileState(cacheKey& key, const stringArray& paths) {
    key.addNumber(paths.size());
    for (int i = 0; i < paths.size(); i++) {
        key.addFileState(paths[i]);
    }
}

static void addPathListState(cacheKey& key, const char* list) {
    ownedString entries(createStringCopy(list));
    for (char* entry = strtok(entries.get(), ":"); entry != nullptr; entry = strtok(nullptr, ":")) {
        key.addFileState(entry);
    }
}

// The module path's value follows "-p" or "--module-path" as the next
// option, or "--module-path=" in the same one.
static void addOptionsState(cacheKey& key, const stringArray& options) {
    int valueIsModulePath = 0;
    for (int i = 0; i < options.size(); i++) {
        const char* option = options[i];
        if (!isKeyOption(option)) {
            valueIsModulePath = 0;
            continue;
        }
        key.addText(option);
        if (valueIsModulePath) {
            addPathListState(key, option);
        } else if (startsWith(option, "--module-path=")) {
            addPathListState(key, option + strlen("--module-path="));
        }
        valueIsModulePath = strcmp(option, "-p") == 0 || strcmp(option, "--module-path") == 0;
    }
}

void addLaunchState(cacheKey& key, const javaVm& vm, const stringArray& options,
                    const char* shape) {
    addEachFileState(key, vm.classPath);
    addEachFileState(key, vm.bootPath);
    addOptionsState(key, options);
    key.addText(shape);
}
