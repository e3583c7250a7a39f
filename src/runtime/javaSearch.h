#ifndef LARKWIN_RUNTIME_JAVASEARCH_H
#define LARKWIN_RUNTIME_JAVASEARCH_H

#include "runtime/versionRequirement.h"

class stringArray;

// The choice of a runtime that "javaversion" and "javasearch" ask for. Without
// them the java path is found as it always was (javaPath.h).

// 1 when the configuration has either directive.
int usesJavaSearch(const versionRequirement& required, const stringArray& searchDirs);
// Looks at the configured java path (may be null), JAVA_HOME, the first java
// along PATH, the javasearch directories and the usual install places, in
// this order, and returns the chosen java (see chooseRuntime). Reads release
// files only: no runtime is started. Throws a message that lists what was
// seen when nothing fits. Under +DEBUG it prints every candidate's verdict.
char* createChosenJavaPath(const char* configuredJavaPath, const versionRequirement& required,
                           const stringArray& searchDirs);

#endif
