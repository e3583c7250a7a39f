#ifndef LARKWIN_RUNTIME_RUNTIMEHOMES_H
#define LARKWIN_RUNTIME_RUNTIMEHOMES_H

#include "runtime/runtimeChoice.h"

// Looking through directories for Java runtime homes: a home is a directory
// with bin/java in it; its version comes from its release file alone.

// dir itself when it is a home, else each of its immediate subdirectories
// that is one, in the order of their names. Hidden entries are skipped.
// A home that other users could have put there or changed is added refused
// (see othersWritable.h): when the home, its bin directory or bin/java
// belongs to another user than root and the one running ("owned by another
// user"), when others may write to dir, to the home, to its bin directory or
// to bin/java, or may replace one of them.
void addRuntimeHomes(runtimeCandidates* candidates, const char* dir);
// The places where Java runtimes are usually installed, in this order:
// /usr/lib/jvm, /usr/java, /usr/local/java, /opt/java, the directories of
// /opt whose names hold "jdk", "jre" or "java" (in any letter case),
// $HOME/.sdkman/candidates/java, $HOME/.jdks (the homes under $HOME/.sdkman
// and $HOME/.jdks refused when that directory belongs to another user than
// the one running, root aside) and, on macOS,
// /Library/Java/JavaVirtualMachines/*/Contents/Home.
void addInstalledRuntimes(runtimeCandidates* candidates);

#endif
