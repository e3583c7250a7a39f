#ifndef LARKWIN_PACK_REPOSITORY_SUBSCRIPTION_H
#define LARKWIN_PACK_REPOSITORY_SUBSCRIPTION_H

#include <string>
#include <vector>

// What a machine needs to take a repository's updates: its public key, and a
// file that names the repository for its package manager (each format's
// folder writes its own). readers are the package managers that read
// them, as the refusals name them ("apt", "dnf"); those that larkwin-pack
// writes for know no quoting: what they cannot hold is refused, never
// written.

// Throws unless url is an http, https or file URL that the readers read as
// written: letters, digits and "-._~:/?@!&()*+,=[]", and "%" followed by
// two hexadecimal digits. Spaces, quotes, "$" (dnf's variables), "#", ";"
// and control characters are refused, naming the first one.
void checkRepositoryUrl(const std::string& url, const std::vector<std::string>& readers);
// What checkRepositoryUrl would throw, or the empty string.
std::string findUrlProblem(const std::string& url, const std::vector<std::string>& readers);

// Throws unless name can name a package, the subscription files (apt reads
// sources.list.d/ files named of [A-Za-z0-9_.-] alone) and a dnf
// repository id: two or more of lower-case letters, digits, "-" and ".",
// beginning with a letter or digit.
void checkSubscriptionName(const std::string& name, const std::vector<std::string>& readers);

// NAME-archive-keyring.pgp, the key's name beside the repository.
std::string keyringFileName(const std::string& name);

// url and a file name within it, with one slash between.
std::string joinUrl(const std::string& url, const std::string& file);

#endif
