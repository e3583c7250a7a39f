#ifndef LARKWIN_CACHE_CACHENAMES_H
#define LARKWIN_CACHE_CACHENAMES_H

#include "cache/cacheMechanism.h"

class javaRuntime;
class javaVm;

// The names of a start's archives: the user's
// "<directory>/<Name>-<application>-<key>.jsa" and the one an app image
// ships, "IMAGE/lib/startupcache/<Name>-<key>.jsa". The key holds what the
// JVM checks when it maps the archive, so a start whose key differs never
// maps it.

// "Name-<application>-": the main class's own name (at most 48 characters,
// each but a letter or digit as "_"), then a hash of the executable's path
// and the main class, which every key of the same application shares.
// Owned by the caller.
char* createNamePrefix(const char* executable, const char* mainClass);

// The key of a start of vm on runtime, as 16 hexadecimal digits: the
// mechanism, the runtime's exact build, the launch's paths and key options,
// and shape (vmShape's description). The key of the archive an app image
// ships (shipped) tells files by content; with an image root, the paths
// below it count relative to it. Owned by the caller.
char* createKeyHex(const javaVm& vm, javaRuntime& runtime, cacheMechanism mechanism,
                   const char* shape, int shipped, const char* imageRoot);

// "<directory>/<prefix><keyHex><ending>". Owned by the caller.
char* createCachePath(const char* directory, const char* prefix, const char* keyHex,
                      const char* ending);

// "<shippedDirectory>/<Name>-<keyHex>.jsa", Name as in the prefix. Owned by
// the caller.
char* createShippedPath(const char* shippedDirectory, const char* mainClass, const char* keyHex);

// A static archive holds the runtime's own classes too: its size is about
// that of the runtime's base archive and twice the application's jars.
unsigned long long estimateArchiveSize(const javaVm& vm, const char* home);

#endif
