#include "unix/platformDirectives.h"

#include "config/configFile.h"
#include "runtime/versionRequirement.h"
#include "unix/files.h"
#include "util/strings.h"

#include <cstring>

static void javaVersion(javaVm* vm, configFile*, char* argument) {
    if (!parseVersionRequirement(argument, &vm->javaVersion)) {
        throw createMessage("Malformed javaversion '%s': write a feature release such as 17, "
                            "or a range such as 11-17",
                            argument);
    }
}

static void javaSearch(javaVm* vm, configFile* file, char* argument) {
    vm->javaSearchDirs.append(createAbsolutePath(file->directory, argument));
}

struct platformDirective {
    const char* word;
    void (*apply)(javaVm* vm, configFile* file, char* argument);
};

static const platformDirective platformDirectives[] = {
    {"javaversion", javaVersion},
    {"javasearch", javaSearch},
};

int specialDirective(javaVm* vm, configFile* file, char* word, char* argument) {
    for (const platformDirective& known : platformDirectives) {
        if (strcmp(word, known.word) == 0) {
            known.apply(vm, file, argument);
            return 0;
        }
    }
    return -1;
}
