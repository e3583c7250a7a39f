#include "vm/moduleAccess.h"

#include "runtime/runtimeImage.h"
#include "unix/exePath.h"
#include "util/owned.h"
#include "util/strings.h"

#include <cstdio>
#include <cstring>

// The characters of module and package names: Java identifiers, ASCII here,
// joined by dots. Anything else never names a package of the runtime and
// must not reach an option.
static int isNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '$';
}

static int isName(const char* name, size_t length) {
    for (size_t i = 0; i < length; i++) {
        if (!isNameCharacter(name[i])) {
            return 0;
        }
    }
    return length > 0;
}

void addManifestAccess(stringArray& entries, const char* value) {
    for (const char* cursor = value; *cursor != 0;) {
        size_t length = strcspn(cursor, " \t");
        if (length > 0) {
            ownedString entry(new char[length + 1]);
            memcpy(entry.get(), cursor, length);
            entry[length] = 0;
            entries.append(entry.release());
        }
        cursor += length;
        cursor += strspn(cursor, " \t");
    }
}

const char* findAccessOmission(const runtimeImage& image, const char* entry) {
    const char* slash = strchr(entry, '/');
    if (slash == nullptr || !isName(entry, (size_t)(slash - entry)) ||
        !isName(slash + 1, strlen(slash + 1))) {
        return "not a module's and a package's name";
    }
    ownedString module(createStringCopy(entry));
    module[slash - entry] = 0;
    switch (image.findPackage(module.get(), slash + 1)) {
    case moduleMissing:
        return "the runtime has no such module";
    case packageMissing:
        return "the module has no such package";
    default:
        return nullptr;
    }
}

// The option that gives the entry, named after the directive.
static char* createAccessOption(const char* word, const char* entry) {
    const char* option = strcmp(word, "addopens") == 0 ? "add-opens" : "add-exports";
    return createMessage("--%s=%s=ALL-UNNAMED", option, entry);
}

static void useEntries(javaVm& vm, const runtimeImage& image, const stringArray& entries,
                       const char* word, int modular) {
    for (int i = 0; i < entries.size(); i++) {
        const char* omission = modular ? findAccessOmission(image, entries[i])
                                       : "the runtime has no modules (before Java 9)";
        if (omission == nullptr) {
            vm.addVmOption(createAccessOption(word, entries[i]));
        } else if (debug) {
            printf("%s: left out %s: %s\n", word, entries[i], omission);
        }
    }
}

void useManifestAccess(javaVm& vm, javaRuntime& runtime) {
    if (vm.manifestExports.size() == 0 && vm.manifestOpens.size() == 0) {
        return;
    }
    runtimeImage image(runtime.getHome());
    int version = runtime.getFeatureVersion();
    int modular = image.exists() || version == 0 || version >= 9;
    if (debug && modular && !image.isReadable()) {
        printf("addexports, addopens: the runtime's lib/modules cannot be read; every entry is "
               "given as it stands\n");
    }
    useEntries(vm, image, vm.manifestExports, "addexports", modular);
    useEntries(vm, image, vm.manifestOpens, "addopens", modular);
}
