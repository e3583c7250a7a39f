#ifndef LARKWIN_PACK_ONEFILE_STOREDTREE_H
#define LARKWIN_PACK_ONEFILE_STOREDTREE_H

#include <string>

class packOutputFile;

// Where a stored part landed in the output, and the digest of its content.
struct storedPart {
    long offset = 0;
    long length = 0;
    std::string digest;
};

// Appends to out, which holds offset bytes already, a zip archive of the
// tree at root as stored entries: folders before what they hold, names
// sorted, each entry's Unix mode in its external attributes, links stored
// as their targets, offsets counted from the start of out. The digest
// (64 lower-case hex digits of SHA-256) covers each entry's name, kind,
// permission bits and content in that order, and nothing of where or when
// it was packed. Throws the system's reason, or why the tree cannot be
// stored (beyond 65535 entries or 4 GiB).
storedPart appendStoredTree(packOutputFile& out, long offset, const std::string& root);

#endif
