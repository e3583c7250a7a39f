#ifndef LARKWIN_CACHE_CACHEREPORT_H
#define LARKWIN_CACHE_CACHEREPORT_H

// Under +DEBUG: "startupcache: ", the format with its argument, a line end.
void reportStartupCache(const char* format, const char* argument);

#endif
