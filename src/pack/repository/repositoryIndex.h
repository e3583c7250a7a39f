#ifndef LARKWIN_PACK_REPOSITORY_REPOSITORYINDEX_H
#define LARKWIN_PACK_REPOSITORY_REPOSITORYINDEX_H

#include <string>
#include <vector>

// What the repository writers share: which versions stay, and which files
// an index names.

// One package file of a repository: its name, version (with the release
// for rpm) and architecture, and its path within the repository.
struct repositoryPackage {
    std::string name;
    std::string version;
    std::string architecture;
    std::string path;
};

// Splits packages sorted oldest first within each name and architecture
// (the order of the list otherwise free) into the newest keep of each name
// and architecture and the rest, each in the list's order.
void splitByAge(const std::vector<repositoryPackage>& sorted, int keep,
                std::vector<repositoryPackage>& kept, std::vector<repositoryPackage>& outdated);

// Sorts the packages by name and architecture, then by version as the
// comparison says, oldest first; less(a, b) tells whether version a is
// older than b.
void sortPackages(std::vector<repositoryPackage>& packages,
                  bool (*less)(const std::string&, const std::string&, void*), void* context);

// The files that a Release file's "SHA256:" section names: pairs of the
// hash and the path, in order.
std::vector<std::pair<std::string, std::string>> findReleaseHashes(const std::string& release);

// The files under repodata/ that a repomd.xml's location elements name,
// by their names within repodata/.
std::vector<std::string> findRepomdFiles(const std::string& repomd);

// Prints "larkwin-pack: DIRECTORY: " and the text, unless quiet.
void report(bool quiet, const std::string& directory, const std::string& text);

// Removes the packages that left the index from the repository's folder,
// naming each unless quiet, but for those that the index before it named
// (paths within the folder): a client that read that index a moment ago
// still finds them; the next update removes them.
void removeOutdated(const std::string& directory, const std::vector<repositoryPackage>& outdated,
                    const std::vector<std::string>& namedBefore, bool quiet);

#endif
