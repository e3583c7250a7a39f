#ifndef LARKWIN_PACK_PACKAGE_PACKAGETREE_H
#define LARKWIN_PACK_PACKAGE_PACKAGETREE_H

#include "pack/package/packageFormat.h"

#include <vector>

struct packageRequest;

// Adds to root, which already holds the application directory at
// /opt/NAME, what an installed application has beside it: the command
// /usr/bin/NAME, the site settings /etc/NAME/NAME.config, the menu entries,
// icons, media types, AppStream metainfo, documentation, manual page and
// systemd unit. Every path added is appended to installed. work is a scratch directory;
// configuration is the one given (without the settings' lines); the changelog is dated
// epochSeconds.
void stagePackageTree(const packageRequest& request, const char* configuration, const char* root,
                      const char* work, long epochSeconds, std::vector<installedEntry>& installed);

#endif
