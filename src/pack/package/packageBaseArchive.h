#ifndef LARKWIN_PACK_PACKAGE_PACKAGEBASEARCHIVE_H
#define LARKWIN_PACK_PACKAGE_PACKAGEBASEARCHIVE_H

#include <string>

struct packageRequest;

// The runtime's base class-data archive (lib/server/classes.jsa) of a
// reproducible package. Before Java 25, "java -Xshare:dump" writes a
// different archive each time (archived objects hold a seed taken from the
// clock), so two packages of the same inputs would differ in it alone. With
// SOURCE_DATE_EPOCH set and such a runtime, the package leaves the archive
// out and its scripts make it once installed (the application's first start
// is as fast as ever) and remove it before the package is removed.

// With SOURCE_DATE_EPOCH set, and a runtime in root/opt/NAME/runtime before
// Java 25 that holds lib/server/classes.jsa: removes the archive and returns
// true. Else changes nothing and returns false.
bool moveBaseArchiveToInstall(const packageRequest& request, const char* root);

enum baseArchiveScript {
    baseArchiveDebianPostinst, // on configure: make the archive
    baseArchiveDebianPrerm,    // before removal or upgrade: remove it
    baseArchiveRpmPost,        // after installing or upgrading: make it
    baseArchiveRpmPreun,       // before the last removal: remove it
};

// The script's lines for the package NAME, or "" without baseArchiveAtInstall.
std::string createBaseArchiveScript(const packageRequest& request, baseArchiveScript which);

#endif
