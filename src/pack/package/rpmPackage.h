#ifndef LARKWIN_PACK_PACKAGE_RPMPACKAGE_H
#define LARKWIN_PACK_PACKAGE_RPMPACKAGE_H

class packOptions;
class stringArray;

// Makes NAME-VERSION-1.ARCH.rpm in the directory options.rpm from the staged
// root with rpmbuild, whose automatic requirements name what the image's ELF
// files need; the image's own libraries are neither provided to other
// packages nor required from them. files are the "%files" lines; work is a
// scratch directory, whose path rpmbuild's macros can hold. Prints where the
// package is unless quiet, and appends its path to published.
void writeRpmPackage(const packOptions& options, const char* root, const char* work,
                     const stringArray& files, stringArray& published);

// The text of rpmbuild's build recipe for a staged root; its changelog, when
// there is a packager, is dated by getPackageTime(). Owned.
char* createRpmRecipe(const packOptions& options, const char* root, const stringArray& files,
                      const stringArray& privateLibraries);

#endif
