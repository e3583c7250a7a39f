#ifndef LARKWIN_PACK_IMAGE_CONTENTCOPY_H
#define LARKWIN_PACK_IMAGE_CONTENTCOPY_H

#include <string>
#include <sys/types.h>
#include <vector>

// How a tree of --app-content is walked: in a package (whose files every
// user reads), and the folder that the walk must not enter, the one that
// receives the copy (avoidDevice 0: none).
struct contentWalk {
    bool package = false;
    dev_t avoidDevice = 0;
    ino_t avoidInode = 0;
    // Lines for the user: bits the copy leaves out.
    std::vector<std::string> notes;
};

// Walks the file, folder or link at source (a canonical path) through
// descriptors: each entry is opened relative to its opened parent, without
// following a link, and judged by fstat on what was opened, so that a folder
// swapped for a link during the walk is refused, not followed. With a
// destination (a path whose parent exists), copies it there as it walks:
// modes without the set-user-ID, set-group-ID and sticky bits (a note says
// so), times, and links as links. Refuses names that are not UTF-8 or hold a
// control character, what is neither file, folder nor link, the folder
// being written, and in a package what only its owner may read.
void walkContent(const std::string& source, const std::string* destination, contentWalk& walk);

#endif
