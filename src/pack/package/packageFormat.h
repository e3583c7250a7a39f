#ifndef LARKWIN_PACK_PACKAGE_PACKAGEFORMAT_H
#define LARKWIN_PACK_PACKAGE_PACKAGEFORMAT_H

#include <string>
#include <vector>

struct maintainerScript;
struct packageRequest;
struct repositoryRequest;

// What a package installs, by its path in the package: a file, or a
// directory with all it holds (installedPath); a directory alone, which the
// package owns though others add to it (installedDirectory); a file of
// settings that an upgrade leaves as the administrator changed it
// (installedSettings).
enum installedKind { installedPath, installedDirectory, installedSettings };
struct installedEntry {
    std::string path;
    installedKind kind;
};

// The tree that every package is made from: the application directory
// under root/opt/NAME and what an installed application has beside it
// (packageTree.h). work is a scratch directory; epochSeconds the time the
// packages are dated; installed lists what root holds, in the order staged.
struct stagedTree {
    const char* root;
    const char* work;
    long epochSeconds;
    const std::vector<installedEntry>* installed;
    // With an update URL, the signing key's public part, which the
    // packages install with their subscription; else null.
    const std::string* publicKey;
};

// One package format: a row of packageFormats. Its file defines the row as
// "extern const packageFormat NAMEFormat = {...};".
struct packageFormat {
    // The option that asks for it, which takes the directory that receives
    // the package, and the line of --help that says what it writes there.
    const char* option;
    const char* help;
    // What the format needs that the request lacks: a usage message, or
    // empty. Run with the command line's checks, before anything is made.
    std::string (*check)(const packageRequest& request);
    // Adds to the staged tree what this format alone installs, before the
    // tree's modes are made those of a package.
    void (*stage)(const packageRequest& request, const stagedTree& tree);
    // Builds the package from the staged tree into directory (a scratch
    // directory, from which every format's package is published once all
    // are built, so that a failure leaves none) and, unless quiet, names
    // the file written; returns its path. It may add its own
    // control files to the tree; formats after it leave them out. With an
    // update URL it holds the subscription files of its package manager,
    // which it takes out of the tree again.
    std::vector<std::string> (*write)(const packageRequest& request, const stagedTree& tree,
                                      const std::string& directory);
    // The option that names the repository its packages join, its line of
    // --help, and what adds them (repositoryRequest.h); all null for a
    // format without repositories.
    const char* repositoryOption;
    const char* repositoryHelp;
    void (*publish)(const repositoryRequest& request);
    // The refusals of publish, run on the packages just built, before any
    // is published, with the repository locked.
    void (*prepare)(const repositoryRequest& request);
    // The options its check requires, which --help says it needs; null
    // ends them.
    const char* const* neededOptions;
    // Its maintainer scripts (packageService.h), which its write installs.
    const maintainerScript* scripts;
    // The package manager that reads its subscription files, as the
    // messages and --help name it ("apt").
    const char* packageManager;
    // The options that only this format writes into its package, each
    // followed by its line of --help; null ends them.
    const char* const* ownOptions;
};

// Every format, in the order their packages are written; null ends it.
extern const packageFormat* const packageFormats[];

// The formats' options after the leading ones, joined as a sentence joins
// them: "A, B or C" with lastJoin " or ".
std::string joinFormatOptions(const char* lastJoin, std::vector<std::string> leading = {});

// Every format's package manager, in the table's order.
std::vector<std::string> listPackageManagers();

// The line of --help of an option that one format alone writes (its
// ownOptions), or null.
const char* findOwnOptionHelp(const char* option);

#endif
