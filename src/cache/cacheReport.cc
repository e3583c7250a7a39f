#include "cache/cacheReport.h"

#include "unix/exePath.h"

#include <cstdarg>
#include <cstdio>

void reportStartupCache(const char* format, ...) {
    if (debug) {
        printf("startupcache: ");
        va_list arguments;
        va_start(arguments, format);
        vprintf(format, arguments);
        va_end(arguments);
        printf("\n");
    }
}
