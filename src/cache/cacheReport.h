#ifndef LARKWIN_CACHE_CACHEREPORT_H
#define LARKWIN_CACHE_CACHEREPORT_H

// Under +DEBUG: "startupcache: ", the format with its arguments (printf
// conversions), a line end.
void reportStartupCache(const char* format, ...) __attribute__((format(printf, 1, 2)));

#endif
