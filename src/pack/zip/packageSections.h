#ifndef LARKWIN_PACK_ZIP_PACKAGESECTIONS_H
#define LARKWIN_PACK_ZIP_PACKAGESECTIONS_H

#include <map>
#include <string>

class zipArchive;

// The package of a class entry ("org/x/" for "org/x/Y.class" or
// "META-INF/versions/11/org/x/Y.class"); empty for any other entry and for
// a class of the unnamed package.
std::string getClassPackage(const char* name, int length);

// The manifest sections that keep, in a merged jar, what each jar's main
// section says of its packages: for each package (mapped to the archive
// whose class defines it on the class path), "Name: PACKAGE" with that
// archive's Specification-*, Implementation-* and Sealed attributes (its
// section of the package overriding its main section), so that
// Package.getImplementationVersion() answers as on the class path. Packages
// of an archive whose manifest has none of them get no section; what the
// first archive's kept manifest says in its own section of a package is not
// said again (that section's word stands). Lines
// longer than 72 bytes are continued as manifests continue them.
std::string createPackageSections(zipArchive** archives,
                                  const std::map<std::string, int>& packages);

// The manifest (may be null; *length bytes) without the package attributes
// in its main section: a new array, *length updated; null for null.
char* createWithoutPackageAttributes(const char* manifest, long* length);

// The manifest text with the sections appended after a blank line.
std::string appendSections(const char* manifest, long length, const std::string& sections);

#endif
