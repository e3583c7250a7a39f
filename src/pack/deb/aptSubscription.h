#ifndef LARKWIN_PACK_DEB_APTSUBSCRIPTION_H
#define LARKWIN_PACK_DEB_APTSUBSCRIPTION_H

#include <string>

// apt's subscription to a repository (subscription.h): a deb822 .sources
// file with Signed-By, and the repository's public key.

// Where an installed .deb keeps them: /etc/apt/keyrings/
// NAME-archive-keyring.pgp and /etc/apt/sources.list.d/NAME.sources, both
// conffiles, so that a package removed but not purged, or upgraded to a
// version without them, leaves the two together.
std::string aptKeyringPath(const std::string& name);
std::string aptSourcesPath(const std::string& name);

// The deb822 sources file: the suite's "main" component at url, checked
// with the key at aptKeyringPath(name) alone.
std::string createAptSources(const std::string& name, const std::string& url,
                             const std::string& suite);

// Adds to root the two files above, for the repository at url checked with
// publicKey (binary OpenPGP) alone, and the lintian override that says why
// a package installs apt sources.
void addAptSubscription(const char* root, const std::string& name, const std::string& url,
                        const std::string& publicKey);
// Takes them out of root again, once the .deb is made.
void removeAptSubscription(const char* root, const std::string& name);

#endif
