#ifndef LARKWIN_RUNTIME_RUNTIMERELEASE_H
#define LARKWIN_RUNTIME_RUNTIMERELEASE_H

#include "util/owned.h"

// What a Java runtime says about itself in the "release" file of its home,
// read without starting it. Every runtime since JDK 9 has the file, and most
// JDK 8 builds too; its lines are KEY="value".
class runtimeRelease {
  public:
    // Reads home/release. A missing, unreadable or implausibly large file
    // leaves the release unknown: no value, feature version 0.
    explicit runtimeRelease(const char* home);
    runtimeRelease(const runtimeRelease&) = delete;
    runtimeRelease& operator=(const runtimeRelease&) = delete;

    int isKnown() const { return text != nullptr; }
    // The value of the first line KEY=value, without its quotes, as a new
    // owned string; null when no line sets KEY.
    char* createValue(const char* key) const;
    // The feature release that JAVA_VERSION names (8 for "1.8.0_392"), or 0.
    int getFeatureVersion() const;

  private:
    ownedString text;
};

// The feature release of a Java version text: "1.8.0_392" and "8" give 8,
// "17.0.21.1" gives 17, "25" gives 25, "9-ea" gives 9. Text that is not a
// version gives 0.
int parseFeatureVersion(const char* version);

// The home of the runtime whose java executable is javaPath: the directory
// above the bin directory of its canonical path. A JDK 8 jre inside a JDK
// whose release file lies one level up gives the JDK. Null when javaPath
// cannot be resolved. Owned by the caller.
char* createRuntimeHome(const char* javaPath);

#endif
