#ifndef LARKWIN_PACK_ZIP_LAUNCHATTRIBUTES_H
#define LARKWIN_PACK_ZIP_LAUNCHATTRIBUTES_H

// The configuration lines that give the VM what "java -jar" gives it for the
// jar's manifest, which the launcher's class path does not read:
// "addopens M/P ..." with the packages of Add-Opens (the launcher gives only
// those that the runtime has, as java -jar does), likewise "addexports" for
// Add-Exports, and "vmparam --enable-native-access=ALL-UNNAMED" for
// Enable-Native-Access. A new string, empty when there are none; each line
// ends with a line feed. Throws for Launcher-Agent-Class, whose agent only
// java -jar starts, and for a value that is not a list of module/package
// names.
char* createLaunchLines(const char* jarPath);

// The same, from a manifest's text.
char* createLaunchLinesOf(const char* jarPath, const char* manifest, long length);

#endif
