#ifndef LARKWIN_CACHE_CACHEREFUSAL_H
#define LARKWIN_CACHE_CACHEREFUSAL_H

class javaVm;

// Why the start-up cache stands aside for a launch, told before anything is
// named or written; each is null when there is no reason, else a message
// owned by the caller.

// From the launch alone: a VM option, or one of JAVA_TOOL_OPTIONS,
// JDK_JAVA_OPTIONS and _JAVA_OPTIONS, that takes class data sharing over; a
// class path or boot path entry that is a wildcard or a directory that holds
// anything (class data sharing refuses those).
char* createLaunchRefusal(const javaVm& vm);

// The cache directory cannot be made, is not the user's own, others may
// write to it, or others may replace it.
char* createDirectoryRefusal(const char* directory);

#endif
