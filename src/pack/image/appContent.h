#ifndef LARKWIN_PACK_IMAGE_APPCONTENT_H
#define LARKWIN_PACK_IMAGE_APPCONTENT_H

#include <optional>
#include <string>
#include <vector>

// A file or folder copied into an application directory (--app-content
// SRC[=DEST]): source as given, and the path under the directory's root
// that receives it; without one, share/NAME/ followed by the source's last
// part.
struct appContent {
    std::string source;
    std::optional<std::string> destination;
};

// Reads "SRC" or "SRC=DEST" (split at the first "="). Empty when it is
// good, else what is wrong with it: an empty SRC; a DEST that is absolute,
// empty, has an empty, "." or ".." part, lies in the directory's own bin,
// lib or runtime, or holds a control character.
std::string parseAppContent(const std::string& text, appContent* content);

// Refuses, before any work, what copyAppContents would refuse in the
// sources as they are now, and a source that holds one of the places (the
// folders that receive the image or packages), as cp refuses to copy a
// folder into itself. package: the copies go into a package.
void checkAppContents(const std::vector<appContent>& contents,
                      const std::vector<std::string>& places, bool package);

// Copies each content into the directory image, whose bundle is named name:
// a file or a tree, with the modes (less set-user-ID, set-group-ID and
// sticky bits, which a line on stderr names) and times of its entries, and
// its links as links. It walks through descriptors, never following a link,
// so a folder swapped for a link while it runs is refused. Refused: a link
// that leads out of the copied tree, judged in the copy by where it leads;
// a name that is not UTF-8 or has a control character; in a package, what
// only its owner may read; a destination that exists already; a source that
// is neither file, folder nor link, or that holds the image.
void copyAppContents(const std::vector<appContent>& contents, const std::string& image,
                     const std::string& name, bool package);

#endif
