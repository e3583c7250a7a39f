#ifndef LARKWIN_CACHE_CACHEEVICTION_H
#define LARKWIN_CACHE_CACHEEVICTION_H

// Keeps a cache directory bounded. Only names the cache makes are touched:
// "<Name>-<16 hex>-<16 hex>.jsa" and what begins with that.
// - An archive whose application's executable no longer exists goes, as
//   does one without a record that is older than an hour (its assembly
//   died), and temporary files, class lists and locks of no archive older
//   than a day (names are unique, so no process is asked whether it lives);
//   a user's record of an app image's archive ("<archive name>.shipped")
//   when that archive was not used for 30 days.
// - Of one application (one executable and main class) the archives of the
//   most recently used keys stay, up to maxKeysPerApplication.
// - Then the least recently used archives go until the rest fit in limit;
//   the most recently used one always stays.
void evictArchives(const char* directory, unsigned long long limit);

const int maxKeysPerApplication = 4;

// The size limit of a cache directory: LARKWIN_STARTUP_CACHE_LIMIT (a size
// such as 300m or 2g) when it is one, else 512 MiB.
unsigned long long getCacheSizeLimit();

// Whether name is one the cache makes; the length of its archive's name
// ("<Name>-<16 hex>-<16 hex>.jsa") then, else 0.
int getArchiveNameLength(const char* name);

#endif
