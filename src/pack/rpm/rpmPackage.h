#ifndef LARKWIN_PACK_RPM_RPMPACKAGE_H
#define LARKWIN_PACK_RPM_RPMPACKAGE_H

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
char* createRpmRecipe(const packageRequest& request, const char* root, const stringArray& files,
                      const stringArray& privateLibraries);

#endif
