#include "pack/zip/mergeRules.h"

#include <cstring>
#include <strings.h>

static int startsWith(const char* name, int length, const char* prefix) {
    int prefixLength = (int)strlen(prefix);
    return length >= prefixLength && strncmp(name, prefix, prefixLength) == 0;
}

static int endsWith(const char* name, int length, const char* suffix) {
    int suffixLength = (int)strlen(suffix);
    return length >= suffixLength &&
           strncmp(name + length - suffixLength, suffix, suffixLength) == 0;
}

// The jar file reader looks these names up without regard to case.
static int isIn(const char* name, int length, const char* directory) {
    int directoryLength = (int)strlen(directory);
    return length > directoryLength && strncasecmp(name, directory, directoryLength) == 0 &&
           memchr(name + directoryLength, '/', length - directoryLength) == nullptr;
}

static int endsWithIgnoringCase(const char* name, int length, const char* suffix) {
    int suffixLength = (int)strlen(suffix);
    return length >= suffixLength &&
           strncasecmp(name + length - suffixLength, suffix, suffixLength) == 0;
}

static int isSignatureFile(const char* name, int length) {
    const char* suffixes[] = {".SF", ".RSA", ".DSA", ".EC"};
    if (!isIn(name, length, "META-INF/")) {
        return 0;
    }
    for (const char* suffix : suffixes) {
        if (endsWithIgnoringCase(name, length, suffix)) {
            return 1;
        }
    }
    return 0;
}

// module-info.class at the root, or in the versioned part of a multi-release
// jar (META-INF/versions/N/module-info.class).
static int isModuleDescriptor(const char* name, int length) {
    const char* descriptor = "module-info.class";
    if (length == (int)strlen(descriptor)) {
        return strncmp(name, descriptor, length) == 0;
    }
    const char* versions = "META-INF/versions/";
    if (!startsWith(name, length, versions) || !endsWith(name, length, "/module-info.class")) {
        return 0;
    }
    int versionLength = length - (int)strlen(versions) - (int)strlen(descriptor) - 1;
    return versionLength > 0 && memchr(name + strlen(versions), '/', versionLength) == nullptr;
}

static int isManifest(const char* name, int length) {
    const char* manifest = "META-INF/MANIFEST.MF";
    return length == (int)strlen(manifest) && strncasecmp(name, manifest, length) == 0;
}

mergeRule getMergeRule(const char* name, int length, int fromDependency) {
    // Class loaders find service files by their exact name.
    const char* services = "META-INF/services/";
    if (isIn(name, length, services) && startsWith(name, length, services)) {
        return joinEntry;
    }
    if (fromDependency && (isManifest(name, length) || isSignatureFile(name, length) ||
                           isModuleDescriptor(name, length))) {
        return dropEntry;
    }
    return copyEntry;
}
