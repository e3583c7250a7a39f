#include "pack/zip/launchAttributes.h"

#include "pack/zip/jarManifest.h"
#include "pack/zip/zipArchive.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cstring>

// Module and package names; anything else could smuggle another option in.
static int isNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '$' || c == '/' || c == '-';
}

static void appendPackages(stringBuffer& lines, const char* jarPath, const char* manifest,
                           long length, const char* attribute, const char* option) {
    char* value = createMainAttribute(manifest, length, attribute);
    for (const char* cursor = value; cursor != nullptr && *cursor != 0;) {
        const char* end = cursor;
        while (*end != 0 && *end != ' ') {
            if (!isNameCharacter(*end)) {
                delete[] value;
                throw createMessage("'%s' has a manifest attribute that is not a list of "
                                    "module/package names",
                                    jarPath);
            }
            end++;
        }
        if (end > cursor) {
            lines.append("vmparam ");
            lines.append(option);
            lines.append(cursor, (int)(end - cursor));
            lines.append("=ALL-UNNAMED\n");
        }
        cursor = *end == ' ' ? end + 1 : end;
    }
    delete[] value;
}

char* createLaunchLinesOf(const char* jarPath, const char* manifest, long length) {
    char* agent = createMainAttribute(manifest, length, "Launcher-Agent-Class");
    if (agent != nullptr) {
        delete[] agent;
        throw createMessage("'%s' names a Launcher-Agent-Class, an agent that only java -jar "
                            "starts; the launcher runs its class path and cannot start it",
                            jarPath);
    }
    stringBuffer lines;
    appendPackages(lines, jarPath, manifest, length, "Add-Opens", "--add-opens=");
    appendPackages(lines, jarPath, manifest, length, "Add-Exports", "--add-exports=");
    char* nativeAccess = createMainAttribute(manifest, length, "Enable-Native-Access");
    if (nativeAccess != nullptr && strcmp(nativeAccess, "ALL-UNNAMED") == 0) {
        lines.append("vmparam --enable-native-access=ALL-UNNAMED\n");
    }
    delete[] nativeAccess;
    return lines.createString();
}

char* createLaunchLines(const char* jarPath) {
    zipArchive archive(jarPath);
    long length = 0;
    int entry = -1;
    char* manifest = createManifestText(archive, &length, &entry);
    if (manifest == nullptr) {
        return createStringCopy("");
    }
    try {
        char* lines = createLaunchLinesOf(jarPath, manifest, length);
        delete[] manifest;
        return lines;
    } catch (char*) {
        delete[] manifest;
        throw;
    }
}
