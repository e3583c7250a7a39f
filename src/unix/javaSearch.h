#ifndef LARKWIN_UNIX_JAVASEARCH_H
#define LARKWIN_UNIX_JAVASEARCH_H

#include "vm/javaVm.h"

// The choice of a runtime that "javaversion" and "javasearch" ask for. Without
// them the java path is found as it always was (javaPath.h).

// 1 when the configuration has either directive.
int usesJavaSearch(const javaVm& vm);
// Looks at the configured javapath, JAVA_HOME, the first java along PATH, the
// javasearch directories and the usual install places, in this order, and
// stores the chosen java in vm's javaPath (see chooseRuntime). Reads release
// files only: no runtime is started. Throws a message that lists what was
// seen when nothing fits. Under +DEBUG it prints every candidate's verdict.
void chooseJavaPath(javaVm* vm);

#endif
