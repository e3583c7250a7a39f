#include "runtime/javaRuntime.h"

javaRuntime::javaRuntime(const char* javaPath)
    : javaPath(javaPath), resolved(0), home(nullptr), release(nullptr) {}

javaRuntime::~javaRuntime() {
    delete release;
    delete[] home;
}

const char* javaRuntime::getHome() {
    if (!resolved) {
        resolved = 1;
        home = javaPath != nullptr ? createRuntimeHome(javaPath) : nullptr;
    }
    return home;
}

const runtimeRelease* javaRuntime::getRelease() {
    if (release == nullptr && getHome() != nullptr) {
        release = new runtimeRelease(home);
    }
    return release;
}

int javaRuntime::getFeatureVersion() {
    const runtimeRelease* found = getRelease();
    return found != nullptr ? found->getFeatureVersion() : 0;
}
