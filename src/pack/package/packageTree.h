#ifndef LARKWIN_PACK_PACKAGE_PACKAGETREE_H
#define LARKWIN_PACK_PACKAGE_PACKAGETREE_H

class packOptions;
class stringArray;

// Adds to root, which already holds the app image at /opt/NAME, what an
// installed application has beside it: the command /usr/bin/NAME, the site
// settings /etc/NAME/NAME.config, the menu entries, icons, media types,
// AppStream metainfo, documentation, manual page and lintian overrides.
// Every path added is appended to files as an rpm "%files" line; the
// lintian overrides are not, being Debian's alone. work is a scratch
// directory; configuration is the one given (without the settings' lines);
// the changelog is dated epochSeconds.
void stagePackageTree(const packOptions& options, const char* configuration, const char* root,
                      const char* work, long epochSeconds, stringArray& files);

// The path, under root, of Debian's lintian overrides of the package. Owned.
char* createLintianOverridesPath(const char* root, const char* name);

#endif
