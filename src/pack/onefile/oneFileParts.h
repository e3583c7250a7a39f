#ifndef LARKWIN_PACK_ONEFILE_ONEFILEPARTS_H
#define LARKWIN_PACK_ONEFILE_ONEFILEPARTS_H

#include "pack/onefile/storedTree.h"

#include <string>
#include <vector>

// A folder stored as a part, and the kind its "unpack" line names:
// "appdir", "jars" or "runtime".
struct partFolder {
    std::string kind;
    std::string folder;
};

// Writes output (mode 0755, complete or not at all): the launcher, each
// part as stored entries, then the jars as a bundle holds them (one copied
// whole, several merged), whose comment is the configuration between the
// parts' lines: those before the runtime first, in order (so that
// ${app.dir} names the data's copy and the jar's copy leads the class
// path), the runtime's last (so that its java path wins). Returns the parts
// as stored, in order.
std::vector<storedPart> writeParts(const std::string& output, const std::string& launcher,
                                   const std::vector<partFolder>& parts,
                                   const std::vector<std::string>& jars, const char* configuration,
                                   bool quiet);

// The jars as one archive at path (mode 0644), as a bundle holds them.
void writeJoinedJars(const std::string& path, const std::vector<std::string>& jars, bool quiet);

#endif
