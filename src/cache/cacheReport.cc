#include "cache/cacheReport.h"

#include "unix/exePath.h"

#include <cstdio>

void reportStartupCache(const char* format, const char* argument) {
    if (debug) {
        printf("startupcache: ");
        printf(format, argument);
        printf("\n");
    }
}
