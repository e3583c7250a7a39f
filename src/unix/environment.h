#ifndef LARKWIN_UNIX_ENVIRONMENT_H
#define LARKWIN_UNIX_ENVIRONMENT_H

#include "util/stringArray.h"

// A copy of the variable's value ("" when it is set but empty), or null when
// it is not set. Owned by the caller.
char* createEnvironmentValue(const char* name);
// Appends the name of every entry of the process environment, in its order:
// the text before the first "=", or the whole entry when it has none.
void addEnvironmentNames(stringArray* names);

#endif
