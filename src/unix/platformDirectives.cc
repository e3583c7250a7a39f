#include "unix/platformDirectives.h"

// This platform adds no directives of its own.
int specialDirective(javaVm*, configFile*, char*, char*) {
    return -1;
}
