#include "runtime/javaRuntime.h"

javaRuntime::javaRuntime(const char* javaPath) : javaPath(javaPath), resolved(0) {}

const char* javaRuntime::getHome() {
    if (!resolved) {
        resolved = 1;
        home.reset(javaPath != nullptr ? createRuntimeHome(javaPath) : nullptr);
    }
    return home.get();
}

const runtimeRelease* javaRuntime::getRelease() {
    if (release == nullptr && getHome() != nullptr) {
        release.reset(new runtimeRelease(home.get()));
    }
    return release.get();
}

int javaRuntime::getFeatureVersion() {
    const runtimeRelease* found = getRelease();
    return found != nullptr ? found->getFeatureVersion() : 0;
}
