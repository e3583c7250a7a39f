#ifndef LARKWIN_RUNTIME_JAVARUNTIME_H
#define LARKWIN_RUNTIME_JAVARUNTIME_H

#include "runtime/runtimeRelease.h"
#include "util/owned.h"

#include <memory>

// The runtime that one launch runs: the home of its java executable and that
// home's release file, each found on first use and then kept, so that every
// part of the launch that asks (the boot path's form, argument files, the
// start-up cache) shares one resolution and one read, and a launch that asks
// nothing reads nothing.
class javaRuntime {
  public:
    // javaPath is borrowed and must outlive the object.
    explicit javaRuntime(const char* javaPath);
    javaRuntime(const javaRuntime&) = delete;
    javaRuntime& operator=(const javaRuntime&) = delete;

    // The home (createRuntimeHome), or null when javaPath cannot be resolved.
    const char* getHome();
    // The home's release file; null when there is no home.
    const runtimeRelease* getRelease();
    // Its feature version, 0 when it cannot be told.
    int getFeatureVersion();

  private:
    const char* javaPath;
    int resolved;
    ownedString home;
    std::unique_ptr<runtimeRelease> release;
};

#endif
