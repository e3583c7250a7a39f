#include "pack/zip/launchAttributes.h"

#include "pack/zip/jarManifest.h"
#include "pack/zip/zipArchive.h"
#include "util/owned.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cstring>

// Module and package names; anything else could smuggle another option in.
static int isNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '$' || c == '/' || c == '-';
}

// One line "WORD M/P M/P ..." for the attribute, when it names any.
static void appendPackages(stringBuffer& lines, const char* jarPath, const char* manifest,
                           long length, const char* attribute, const char* word) {
    ownedString value(createMainAttribute(manifest, length, attribute));
    int named = 0;
    for (const char* cursor = value.get(); cursor != nullptr && *cursor != 0;) {
        const char* end = cursor;
        while (*end != 0 && *end != ' ') {
            if (!isNameCharacter(*end)) {
                throw createMessage("'%s' has a manifest attribute that is not a list of "
                                    "module/package names",
                                    jarPath);
            }
            end++;
        }
        if (end > cursor) {
            lines.append(named++ == 0 ? word : " ");
            lines.append(cursor, (int)(end - cursor));
        }
        cursor = *end == ' ' ? end + 1 : end;
    }
    if (named > 0) {
        lines.append("\n");
    }
}

char* createLaunchLinesOf(const char* jarPath, const char* manifest, long length) {
    ownedString agent(createMainAttribute(manifest, length, "Launcher-Agent-Class"));
    if (agent != nullptr) {
        throw createMessage("'%s' names a Launcher-Agent-Class, an agent that only java -jar "
                            "starts; the launcher runs its class path and cannot start it",
                            jarPath);
    }
    stringBuffer lines;
    appendPackages(lines, jarPath, manifest, length, "Add-Opens", "addopens ");
    appendPackages(lines, jarPath, manifest, length, "Add-Exports", "addexports ");
    ownedString nativeAccess(createMainAttribute(manifest, length, "Enable-Native-Access"));
    if (nativeAccess != nullptr && strcmp(nativeAccess.get(), "ALL-UNNAMED") == 0) {
        lines.append("vmparam --enable-native-access=ALL-UNNAMED\n");
    }
    return lines.createString();
}

char* createLaunchLines(const char* jarPath) {
    zipArchive archive(jarPath);
    long length = 0;
    int entry = -1;
    ownedString manifest(createManifestText(archive, &length, &entry));
    if (manifest == nullptr) {
        return createStringCopy("");
    }
    return createLaunchLinesOf(jarPath, manifest.get(), length);
}
