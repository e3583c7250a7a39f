#include "cache/cacheNames.h"

#include "cache/cacheKey.h"
#include "cache/vmShape.h"
#include "runtime/javaRuntime.h"
#include "util/owned.h"
#include "util/stringBuffer.h"
#include "util/strings.h"
#include "vm/javaVm.h"

#include <cstring>
#include <sys/stat.h>

// Bumped whenever what goes into the key changes.
static const char* keyVersion = "larkwin startup cache 3";
static const int longestShownName = 48;

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

char* createKeyHex(const javaVm& vm, javaRuntime& runtime, cacheMechanism mechanism,
                   const char* shape, int shipped, const char* imageRoot) {
    stringArray all;
    collectVmOptions(all, vm.vmOptions);
    cacheKey digest;
    if (shipped) {
        digest.identifyByContent();
    }
    digest.setImageRoot(imageRoot);
    digest.addText(keyVersion);
    digest.addNumber(mechanism);
    addRuntimeState(digest, runtime);
    addLaunchState(digest, vm, all, shape);
    return digest.createHex();
}

char* createCachePath(const char* directory, const char* prefix, const char* keyHex,
                      const char* ending) {
    stringBuffer path;
    path.append(directory);
    path.append('/');
    path.append(prefix);
    path.append(keyHex);
    path.append(ending);
    return path.createString();
}

char* createShippedPath(const char* shippedDirectory, const char* mainClass, const char* keyHex) {
    stringBuffer name;
    appendShownName(name, mainClass);
    name.append('-');
    ownedString prefix(name.createString());
    return createCachePath(shippedDirectory, prefix.get(), keyHex, ".jsa");
}

unsigned long long estimateArchiveSize(const javaVm& vm, const char* home) {
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
