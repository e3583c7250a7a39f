#ifndef LARKWIN_PACK_RPM_RPMSUBSCRIPTION_H
#define LARKWIN_PACK_RPM_RPMSUBSCRIPTION_H

#include <string>
#include <vector>

// dnf's subscription to a repository (subscription.h): a .repo file, and
// the repository's public key.

// Where an installed .rpm keeps them: /etc/pki/rpm-gpg/RPM-GPG-KEY-NAME and
// /etc/yum.repos.d/NAME.repo.
std::string rpmKeyPath(const std::string& name);
std::string rpmRepoPath(const std::string& name);

// The .repo file: packages and the metadata's signature checked with the
// key that keyUrl names (the repository's own copy, or rpmKeyPath as a
// file: URL in a package).
std::string createRpmRepo(const std::string& name, const std::string& url,
                          const std::string& keyUrl);

// Adds to root /etc/yum.repos.d/NAME.repo (%config(noreplace)) for the
// repository at url and /etc/pki/rpm-gpg/RPM-GPG-KEY-NAME, publicKey
// (binary OpenPGP), which the .repo names; returns both as "%files" lines.
std::vector<std::string> addRpmSubscription(const char* root, const std::string& name,
                                            const std::string& url, const std::string& publicKey);
// Takes them out of root again, once the .rpm is made.
void removeRpmSubscription(const char* root, const std::string& name);

#endif
