#ifndef LARKWIN_PACK_RPM_RPMPACKAGE_H
#define LARKWIN_PACK_RPM_RPMPACKAGE_H

#include "pack/package/packageFormat.h"

#include <vector>

class stringArray;
struct packageRequest;

// The .rpm format, a row of packageFormats (packageFormat.h): --rpm DIR
// makes NAME-VERSION-1.ARCH.rpm in DIR from the staged tree with rpmbuild,
// whose automatic requirements name what the image's ELF files need; the
// image's own libraries are neither provided to other packages nor required
// from them. rpmbuild's macros hold the scratch directory's path. It needs
// --license.

// The text of rpmbuild's build recipe for a staged root and its "%files"
// lines; its changelog, when there is a packager, is dated by
// getPackageTime(). Owned.
// Appends what the staged tree installs to files as lines of "%files": a
// path as it is, a directory alone after "%dir ", settings after
// "%config(noreplace) ".
void appendFilesLines(const std::vector<installedEntry>& installed, stringArray& files);

char* createRpmRecipe(const packageRequest& request, const char* root, const stringArray& files,
                      const stringArray& privateLibraries);

#endif
