#include "unix/environment.h"

#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cstdlib>
#include <cstring>
#include <unistd.h>

extern char** environ;

char* createEnvironmentValue(const char* name) {
    const char* value = getenv(name);
    return value != nullptr ? createStringCopy(value) : nullptr;
}

void addEnvironmentNames(stringArray* names) {
    if (environ == nullptr) {
        return;
    }
    for (char** entry = environ; *entry != nullptr; entry++) {
        stringBuffer name;
        name.append(*entry, (int)strcspn(*entry, "="));
        names->append(name.createString());
    }
}
