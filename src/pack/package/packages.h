#ifndef LARKWIN_PACK_PACKAGE_PACKAGES_H
#define LARKWIN_PACK_PACKAGE_PACKAGES_H

#include <string>

struct packageRequest;

// Writes each package of the request's outputs, in the order of
// packageFormats, all from one staged tree: the application directory under
// /opt/NAME, with the configuration followed by the lines that read the
// site's and the user's settings, what packageTree.h adds beside it and
// what each format stages. The runtime's ELF files and the launcher are
// stripped, as Debian strips what it packages. Nothing is left behind but
// the packages.
void writePackages(const packageRequest& request, const char* configuration);

// The usage message of the first format whose needs the request does not
// meet (packageFormat's check), or empty.
std::string checkPackageFormats(const packageRequest& request);

// The configuration that an installed application's bundle embeds. Owned;
// throws when it is longer than an archive's comment can be.
char* createInstalledConfiguration(const char* configuration, const char* name);

#endif
