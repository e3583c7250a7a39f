#include "cache/cacheMechanism.h"

#include "util/strings.h"

#include <cstring>

cacheMechanism chooseCacheMechanism(int featureVersion) {
    if (featureVersion >= 24) {
        return linkedStaticArchive;
    }
    if (featureVersion >= 13) {
        return staticArchive;
    }
    return noCacheMechanism;
}

int trainsWithProfiles(int featureVersion) {
    return featureVersion >= 25;
}

const char* getQuietLogOption(int featureVersion) {
    // JDK 24 and older have no "aot" tag and refuse a selector that names one.
    if (featureVersion >= 25) {
        return "-Xlog:aot*=off,cds*=off,class+path*=off";
    }
    return "-Xlog:cds*=off,class+path*=off";
}

const unsigned char* getArchiveMagic() {
    static const unsigned char staticMagic[] = {0xa2, 0xab, 0x0b, 0xf0};
    return staticMagic;
}

// The -XX flags that choose, write or verify an archive themselves.
static const char* const sharingFlags[] = {
    "SharedArchiveFile",
    "ArchiveClassesAtExit",
    "AutoCreateSharedArchive",
    "SharedClassListFile",
    "DumpLoadedClassList",
    "ExtraSharedClassListFile",
    "SharedArchiveConfigFile",
    "UseSharedSpaces",
    "RequireSharedSpaces",
    "DynamicDumpSharedSpaces",
    "RecordDynamicDumpInfo",
    "SharedBaseAddress",
    "AOTCache",
    "AOTCacheOutput",
    "AOTConfiguration",
    "AOTMode",
    "AOTClassLinking",
    "Flags",
    "VMOptionsFile",
};

// Options before whose effect an archive is refused or never written.
static const char* const refusingPrefixes[] = {
    "-Xshare",         "@",
    "-javaagent:",     "-agentlib:",
    "-agentpath:",     "--patch-module",
    "--limit-modules", "--upgrade-module-path",
};

// The flag's name in -XX:Name=value, -XX:+Name or -XX:-Name.
static int namesSharingFlag(const char* option) {
    const char* name = option + 4;
    if (*name == '+' || *name == '-') {
        name++;
    }
    size_t length = strcspn(name, "=");
    for (const char* flag : sharingFlags) {
        if (strlen(flag) == length && strncmp(name, flag, length) == 0) {
            return 1;
        }
    }
    return 0;
}

int takesCacheOver(const char* option) {
    for (const char* prefix : refusingPrefixes) {
        if (startsWith(option, prefix)) {
            return 1;
        }
    }
    return startsWith(option, "-XX:") && namesSharingFlag(option);
}

int takesCacheOverInText(const char* text) {
    for (const char* prefix : refusingPrefixes) {
        if (strstr(text, prefix) != nullptr) {
            return 1;
        }
    }
    for (const char* flag : sharingFlags) {
        if (strstr(text, flag) != nullptr) {
            return 1;
        }
    }
    return 0;
}
