#ifndef LARKWIN_PACK_PACKAGE_DEBIANPACKAGE_H
#define LARKWIN_PACK_PACKAGE_DEBIANPACKAGE_H

class packOptions;
class stringArray;

// Makes NAME_VERSION_ARCH.deb in the directory options.deb from the staged
// root, with Debian's tools: dpkg-shlibdeps finds what the image's ELF files
// need, dpkg-gencontrol writes the control file, dpkg-deb builds the
// package. work is a scratch directory (its debian/ is made here); the
// changelog is dated epochSeconds. Prints where the package is unless quiet,
// and appends its path to published.
void writeDebianPackage(const packOptions& options, const char* root, const char* work,
                        long epochSeconds, stringArray& published);

#endif
