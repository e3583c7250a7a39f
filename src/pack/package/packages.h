#ifndef LARKWIN_PACK_PACKAGE_PACKAGES_H
#define LARKWIN_PACK_PACKAGE_PACKAGES_H

class packOptions;

// Writes the .deb (into options.deb) and the .rpm (into options.rpm) that
// the options ask for, both from one staged tree: the app image under
// /opt/NAME, with the configuration followed by the lines that read the
// site's and the user's settings, and what packageTree.h adds beside it.
// The runtime's ELF files and the launcher are stripped, as Debian strips
// what it packages. Nothing is left behind but the packages.
void writePackages(packOptions& options, const char* configuration);

// The configuration that an installed application's bundle embeds. Owned;
// throws when it is longer than an archive's comment can be.
char* createInstalledConfiguration(const char* configuration, const char* name);

#endif
