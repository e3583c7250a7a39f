#ifndef LARKWIN_RUNTIME_RUNTIMECHOICEREPORT_H
#define LARKWIN_RUNTIME_RUNTIMECHOICEREPORT_H

#include "runtime/runtimeChoice.h"

// The texts that explain a choice of runtime (see chooseRuntime), made after
// it. Each is a new owned string.

// For +DEBUG: the requirement, then one line for each candidate with its
// version and verdict.
char* createChoiceTrace(const runtimeCandidates& candidates, const versionRequirement& requirement);
// The failure when no candidate will do: the requirement, every runtime seen
// with its version, and where to download one. No line end at its end.
char* createNoRuntimeMessage(const runtimeCandidates& candidates,
                             const versionRequirement& requirement, const char* downloadPage);
// The failure when the configured javapath (the first candidate) does not do.
char* createJavaPathMessage(const runtimeCandidates& candidates,
                            const versionRequirement& requirement, const char* downloadPage);

#endif
