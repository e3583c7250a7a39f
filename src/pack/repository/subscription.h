#ifndef LARKWIN_PACK_REPOSITORY_SUBSCRIPTION_H
#define LARKWIN_PACK_REPOSITORY_SUBSCRIPTION_H

#include <string>

// What a machine needs to take a repository's updates: its public key, and a
// file that names the repository for apt (deb822 .sources with Signed-By)
// or for dnf (.repo). The texts are parsed by apt and libdnf, which know no
// quoting: what they cannot hold is refused, never written.

// Throws unless url is an http, https or file URL that apt and dnf read as
// written: letters, digits and "-._~:/?@!&()*+,=[]", and "%" followed by
// two hexadecimal digits. Spaces, quotes, "$" (dnf's variables), "#", ";"
// and control characters are refused, naming the first one.
void checkRepositoryUrl(const std::string& url);
// What checkRepositoryUrl would throw, or the empty string.
std::string findUrlProblem(const std::string& url);

// Throws unless name can name a package, the subscription files (apt reads
// sources.list.d/ files named of [A-Za-z0-9_.-] alone) and a dnf
// repository id: two or more of lower-case letters, digits, "-" and ".",
// beginning with a letter or digit.
void checkSubscriptionName(const std::string& name);

// Where an installed package keeps the files: /etc/apt/keyrings/
// NAME-archive-keyring.pgp and /etc/apt/sources.list.d/NAME.sources for
// apt, both conffiles, so that a package removed but not purged, or
// upgraded to a version without them, leaves the two together; /etc/pki/rpm-gpg/RPM-GPG-KEY-NAME
// and /etc/yum.repos.d/NAME.repo for dnf.
std::string aptKeyringPath(const std::string& name);
std::string aptSourcesPath(const std::string& name);
std::string rpmKeyPath(const std::string& name);
std::string rpmRepoPath(const std::string& name);
// NAME-archive-keyring.pgp, the key's name beside the repository.
std::string keyringFileName(const std::string& name);

// The deb822 sources file: the suite's "main" component at url, checked
// with the key at aptKeyringPath(name) alone.
std::string createAptSources(const std::string& name, const std::string& url,
                             const std::string& suite);

// The .repo file: packages and the metadata's signature checked with the
// key that keyUrl names (the repository's own copy, or rpmKeyPath as a
// file: URL in a package).
std::string createRpmRepo(const std::string& name, const std::string& url,
                          const std::string& keyUrl);

// url and a file name within it, with one slash between.
std::string joinUrl(const std::string& url, const std::string& file);

#endif
