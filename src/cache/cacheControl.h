#ifndef LARKWIN_CACHE_CACHECONTROL_H
#define LARKWIN_CACHE_CACHECONTROL_H

class javaVm;

// The user's commands for the start-up cache, given in the environment
// variable LARKWIN_STARTUP_CACHE to a launcher whose configuration has
// "startupcache" (otherwise nothing changes):
// - "list": prints each archive of the cache directory (its last use, size,
//   runtime, application) and a total on standard output;
// - "clear": removes this application's archives, "clear-all" every
//   archive of the directory.
// ("off" and "wait" are read by startupCache.) 1 when the variable held a
// command, which was carried out instead of the launch; 0 otherwise.
int runCacheCommand(const javaVm& vm);

// The lines that "list" prints for the directory, to standard output.
void listCache(const char* directory);
// Removes every file of the cache in the directory whose name begins with
// prefix ("" for all); the number of archives removed.
int clearCache(const char* directory, const char* prefix);

#endif
