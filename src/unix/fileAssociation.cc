#include "unix/fileAssociation.h"

#include "unix/exePath.h"

#include <cstdio>

static const char* shown(const char* s) {
    return s != nullptr ? s : "(null)";
}

int checkAssociation(const char* first, const char* second, const char* third, const char* fourth) {
    if (debug) {
        printf("checkAssociation(%s, %s, %s, %s)\n", shown(first), shown(second), shown(third),
               shown(fourth));
    }
    return 0;
}

void addAssociation(const char* first, const char* second, const char* third, const char* fourth) {
    if (debug) {
        printf("addAssociation(%s, %s, %s, %s)\n", shown(first), shown(second), shown(third),
               shown(fourth));
    }
}
