#ifndef LARKWIN_PACK_REPOSITORY_REPOSITORYWRITER_H
#define LARKWIN_PACK_REPOSITORY_REPOSITORYWRITER_H

#include "pack/repository/signingKey.h"

#include <string>
#include <vector>

struct repositoryRequest;

// A program that a format's repository writer runs, and the Debian package
// that has it.
struct repositoryProgram {
    const char* name;
    const char* package;
};

// What every repository writer does first, before it reads a package, in
// this order: refuses a name that cannot name the subscription files and a
// URL that they cannot hold (subscription.h, naming request.readers), finds
// its programs along PATH, and opens the signing key (repositoryKey.h).
struct openedRepository {
    openedRepository(const repositoryRequest& request,
                     const std::vector<repositoryProgram>& needed);
    // The programs' paths, in needed's order.
    std::vector<std::string> programs;
    signingKey key;
};

#endif
