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

static int isNamed(const char* name, int length, const char* wanted) {
    return length == (int)strlen(wanted) && strncmp(name, wanted, length) == 0;
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

int isSignatureFile(const char* name, int length) {
    const char* suffixes[] = {".SF", ".RSA", ".DSA", ".EC"};
    if (!isIn(name, length, "META-INF/")) {
        return 0;
    }
    int directoryLength = (int)strlen("META-INF/");
    if (length >= directoryLength + 4 && strncasecmp(name + directoryLength, "SIG-", 4) == 0) {
        return 1;
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

static int isNamedIgnoringCase(const char* name, int length, const char* wanted) {
    return length == (int)strlen(wanted) && strncasecmp(name, wanted, length) == 0;
}

// LICENSE, NOTICE.txt, COPYING.md and the like, at the root or in META-INF.
static int isNoticeFile(const char* name, int length) {
    const char* slash = (const char*)memchr(name, '/', length);
    const char* base = name;
    if (slash != nullptr) {
        if (!isIn(name, length, "META-INF/")) {
            return 0;
        }
        base = slash + 1;
    }
    int baseLength = length - (int)(base - name);
    const char* stems[] = {"LICENSE", "LICENCE", "NOTICE", "COPYING"};
    for (const char* stem : stems) {
        int stemLength = (int)strlen(stem);
        if (baseLength >= stemLength && strncasecmp(base, stem, stemLength) == 0) {
            return 1;
        }
    }
    return 0;
}

static mergeRule getRegistryRule(const char* name, int length) {
    const char* groovyModules[] = {"META-INF/services/org.codehaus.groovy.runtime.ExtensionModule",
                                   "META-INF/groovy/org.codehaus.groovy.runtime.ExtensionModule"};
    for (const char* groovy : groovyModules) {
        if (isNamed(name, length, groovy)) {
            return groovyModuleEntry;
        }
    }
    // Class loaders find service files by their exact name.
    const char* services = "META-INF/services/";
    if ((isIn(name, length, services) && startsWith(name, length, services)) ||
        (isIn(name, length, "META-INF/spring/") && endsWith(name, length, ".imports")) ||
        isNamed(name, length, "META-INF/sisu/javax.inject.Named") ||
        isNamed(name, length, "META-INF/cxf/bus-extensions.txt")) {
        return joinEntry;
    }
    const char* lists[] = {"META-INF/spring.factories", "META-INF/spring/aot.factories",
                           "META-INF/spring.components"};
    for (const char* list : lists) {
        if (isNamed(name, length, list)) {
            return joinValuesEntry;
        }
    }
    const char* appended[] = {"META-INF/spring.handlers", "META-INF/spring.schemas",
                              "META-INF/spring.tooling",
                              "META-INF/spring-autoconfigure-metadata.properties"};
    for (const char* properties : appended) {
        if (isNamed(name, length, properties)) {
            return appendEntry;
        }
    }
    return copyEntry;
}

mergeRule getMergeRule(const char* name, int length, int fromDependency) {
    mergeRule registry = getRegistryRule(name, length);
    if (registry != copyEntry) {
        return registry;
    }
    if (isNamedIgnoringCase(name, length, "META-INF/INDEX.LIST")) {
        return dropEntry;
    }
    if (fromDependency && (isNamedIgnoringCase(name, length, "META-INF/MANIFEST.MF") ||
                           isSignatureFile(name, length) || isModuleDescriptor(name, length))) {
        return dropEntry;
    }
    if (isNoticeFile(name, length)) {
        return noticeEntry;
    }
    if (isNamed(name, length,
                "META-INF/org/apache/logging/log4j/core/config/plugins/Log4j2Plugins.dat")) {
        return refuseDuplicateEntry;
    }
    return copyEntry;
}

int isJoinRule(mergeRule rule) {
    return rule == joinEntry || rule == appendEntry || rule == joinValuesEntry ||
           rule == groovyModuleEntry;
}
