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

// Copies each content into the directory image, whose bundle is named name:
// a file or a tree, with the modes and times of its entries and its links
// as links. A link that leads out of the copied tree (an absolute one, or
// one whose target, read as a path, climbs above the tree) is refused, as
// is a name with a control character, a destination that exists already,
// and a source that is neither file, folder nor link.
void copyAppContents(const std::vector<appContent>& contents, const std::string& image,
                     const std::string& name);

#endif
