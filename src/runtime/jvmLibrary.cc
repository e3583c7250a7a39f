#include "runtime/jvmLibrary.h"

#include "unix/exePath.h"
#include "unix/files.h"
#include "util/owned.h"
#include "util/strings.h"

#include <dlfcn.h>

const char* getRuntimeArchitecture() {
#if defined(__x86_64__)
    return "amd64";
#elif defined(__i386__)
    return "i386";
#elif defined(__aarch64__)
    return "aarch64";
#elif defined(__arm__)
    return "arm";
#elif defined(__powerpc64__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    return "ppc64le";
#elif defined(__powerpc64__)
    return "ppc64";
#elif defined(__sparc__) && defined(__arch64__)
    return "sparcv9";
#elif defined(__sparc__)
    return "sparc";
#elif defined(__s390x__)
    return "s390x";
#else
    return "unknown";
#endif
}

// The library stays loaded for the life of the process: a VM cannot be
// unloaded, and one that failed to start cannot be started again anyway.
static jniCreateVmPtr loadEntryPoint(const char* library) {
    void* handle = dlopen(library, RTLD_NOW | RTLD_GLOBAL);
    if (handle == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<jniCreateVmPtr>(dlsym(handle, "JNI_CreateJavaVM"));
}

static jniCreateVmPtr loadFromHome(const char* home, const char* relativeLibrary) {
    return loadEntryPoint(ownedString(createString(home, relativeLibrary)).get());
}

jniCreateVmPtr findJniCreateVm(const char* javaPath) {
    if (javaPath == nullptr || !testFile(javaPath)) {
        return nullptr;
    }
    char up[] = "../..";
    ownedString home(createAbsolutePath(javaPath, up));
    jniCreateVmPtr create = loadFromHome(home.get(), "/lib/server/libjvm.so");
    if (create == nullptr) {
        ownedString older(createMessage("/jre/lib/%s/server/libjvm.so", getRuntimeArchitecture()));
        create = loadFromHome(home.get(), older.get());
    }
    return create;
}
