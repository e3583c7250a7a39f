#ifndef LARKWIN_PACK_REPOSITORY_REPOSITORYREQUEST_H
#define LARKWIN_PACK_REPOSITORY_REPOSITORYREQUEST_H

#include <string>
#include <vector>

class repositoryLock;

// What adding packages to a format's repository needs to know.
struct repositoryRequest {
    // The repository's folder, made when missing; what a web server serves
    // at url.
    std::string directory;
    // The packages just made, all of the format.
    std::vector<std::string> packages;
    // A GnuPG key (fingerprint, key id or user id) of the user's GNUPGHOME
    // with its secret part, which signs the indexes and the .rpm files.
    std::string signingKey;
    // While the repository changes keys: the key that signs too and joins
    // the keyring (repositoryKey.h); else empty.
    std::string nextSigningKey;
    // The address the folder is served at, named by the subscription files.
    std::string url;
    // The subscription files' name: NAME-archive-keyring.pgp, NAME.sources,
    // NAME.repo; a package name.
    std::string name;
    // The package managers that read the subscription files, which the
    // refusals of the name and the URL name (subscription.h).
    std::vector<std::string> readers;
    // The suite, for a format whose repositories have suites (dists/SUITE).
    std::string suite = "stable";
    // How many versions of each package (and architecture) stay.
    int keep = 3;
    // Nothing printed but failures.
    bool quiet = false;
    // The lock on directory when the caller holds it already (from before
    // the packages were published, so that a refusal leaves them
    // unpublished); null: the writer takes it.
    const repositoryLock* lock = nullptr;
};

#endif
