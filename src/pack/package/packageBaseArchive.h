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

// What a maintainer script does with the archive.
enum baseArchiveStep {
    baseArchiveKept,    // nothing
    baseArchiveMade,    // makes it, as the runtime's java makes it
    baseArchiveRemoved, // removes it, before the package's files go
};

// The script's lines for the package NAME: the step, under condition (a
// shell test, such as "[ \"$1\" = configure ]") when there is one; "" for
// baseArchiveKept or without baseArchiveAtInstall.
std::string createBaseArchiveScript(const packageRequest& request, baseArchiveStep step,
                                    const char* condition);

#endif
