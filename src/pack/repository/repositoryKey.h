#ifndef LARKWIN_PACK_REPOSITORY_REPOSITORYKEY_H
#define LARKWIN_PACK_REPOSITORY_REPOSITORYKEY_H

#include "pack/repository/signingKey.h"

#include <memory>
#include <string>
#include <vector>

struct repositoryRequest;
class repositoryLock;

// The key that signs a repository's indexes, and how it changes. A
// repository is signed by the keys of its keyring (NAME-archive-keyring.pgp
// beside it), which every subscribed machine trusts: another key would end
// their updates without a word. A change takes two publishes: one with
// --sign-key OLD --next-sign-key NEW, whose packages ship both keys and
// whose indexes carry both signatures, and, once the machines have that
// package, --sign-key NEW alone, after which the old key goes.

// The request's signing key, with its next key when it has one.
signingKey openRepositoryKey(const repositoryRequest& request);

// The fingerprints of the public keys in the keyring file; none when the
// file is missing.
std::vector<std::string> readKeyring(const std::string& gpg, const std::string& path);

// Throws unless the repository is new or its keyring holds the signing key.
void checkRepositoryKey(const repositoryRequest& request, const signingKey& key);

// The request with its repository locked (by a lock that own then holds,
// unless the caller holds one already), once its key is the repository's.
repositoryRequest lockRepository(const repositoryRequest& request, const signingKey& key,
                                 std::unique_ptr<repositoryLock>* own);

// The warning, or empty, for a key that expires within 90 days of now.
std::string findExpiryWarning(const signingKey& key, long now);

#endif
