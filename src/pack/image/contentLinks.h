#ifndef LARKWIN_PACK_IMAGE_CONTENTLINKS_H
#define LARKWIN_PACK_IMAGE_CONTENTLINKS_H

#include <string>

// Refuses each link in the tree at root that leads out of it, judged by
// where it leads, not by its text: the target is followed part by part
// through the tree's own links, so that "up/../../x", where up leads back to
// the root, leaves. An absolute target leaves; a part that is missing is
// read as text from there on. shown is the path that messages give for
// root, source the --app-content as given.
void checkContentLinks(const std::string& root, const std::string& shown,
                       const std::string& source);

#endif
