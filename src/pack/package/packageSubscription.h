#ifndef LARKWIN_PACK_PACKAGE_PACKAGESUBSCRIPTION_H
#define LARKWIN_PACK_PACKAGE_PACKAGESUBSCRIPTION_H

#include <string>

class stringArray;

// The files by which an installed package takes its own updates from the
// repository at url, checked with publicKey (binary OpenPGP) alone. Each
// format adds its own to the staged tree while it builds its package.

// For the .deb: /etc/apt/sources.list.d/NAME.sources (a conffile, removed
// by a purge) and /etc/apt/keyrings/NAME-archive-keyring.pgp (one too, so
// that a removed package leaves the two together), under root,
// and the lintian override that says why a package installs apt sources.
void addAptSubscription(const char* root, const std::string& name, const std::string& url,
                        const std::string& publicKey);
// Takes them out of root again, once the .deb is made.
void removeAptSubscription(const char* root, const std::string& name);
// For the .rpm: /etc/yum.repos.d/NAME.repo (%config(noreplace)) and
// /etc/pki/rpm-gpg/RPM-GPG-KEY-NAME, which the .repo names; both listed in
// files as "%files" lines.
void addRpmSubscription(const char* root, const std::string& name, const std::string& url,
                        const std::string& publicKey, stringArray& files);
// Takes them out of root again, once the .rpm is made.
void removeRpmSubscription(const char* root, const std::string& name);

#endif
