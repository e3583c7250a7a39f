#include "pack/repository/repositoryIndex.h"

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <unistd.h>

static bool sameGroup(const repositoryPackage& a, const repositoryPackage& b) {
    return a.name == b.name && a.architecture == b.architecture;
}

void splitByAge(const std::vector<repositoryPackage>& sorted, int keep,
                std::vector<repositoryPackage>& kept, std::vector<repositoryPackage>& outdated) {
    for (size_t i = 0; i < sorted.size(); i++) {
        int newer = 0;
        for (size_t j = i + 1; j < sorted.size(); j++) {
            newer += sameGroup(sorted[i], sorted[j]) ? 1 : 0;
        }
        (newer >= keep ? outdated : kept).push_back(sorted[i]);
    }
}

void sortPackages(std::vector<repositoryPackage>& packages,
                  bool (*less)(const std::string&, const std::string&, void*), void* context) {
    // Few versions stay: an insertion sort asks the version comparison,
    // which may run a program, least often for lists that are nearly sorted.
    for (size_t i = 1; i < packages.size(); i++) {
        for (size_t j = i; j > 0; j--) {
            const repositoryPackage& before = packages[j - 1];
            const repositoryPackage& after = packages[j];
            bool ordered = before.name != after.name ? before.name < after.name
                           : before.architecture != after.architecture
                               ? before.architecture < after.architecture
                               : !less(after.version, before.version, context);
            if (ordered) {
                break;
            }
            std::swap(packages[j - 1], packages[j]);
        }
    }
}

std::vector<std::pair<std::string, std::string>> findReleaseHashes(const std::string& release) {
    std::vector<std::pair<std::string, std::string>> found;
    std::istringstream lines(release);
    bool inSection = false;
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] != ' ') {
            inSection = line == "SHA256:";
            continue;
        }
        std::istringstream words(line);
        std::string hash, size, path;
        if (inSection && words >> hash >> size >> path) {
            found.emplace_back(hash, path);
        }
    }
    return found;
}

std::vector<std::string> findRepomdFiles(const std::string& repomd) {
    static const std::string start = "<location href=\"repodata/";
    std::vector<std::string> found;
    for (size_t at = repomd.find(start); at != std::string::npos; at = repomd.find(start, at + 1)) {
        size_t name = at + start.size();
        size_t end = repomd.find('"', name);
        if (end != std::string::npos) {
            found.push_back(repomd.substr(name, end - name));
        }
    }
    return found;
}

void report(bool quiet, const std::string& directory, const std::string& text) {
    if (!quiet) {
        printf("larkwin-pack: %s: %s\n", directory.c_str(), text.c_str());
    }
}

void removeOutdated(const std::string& directory, const std::vector<repositoryPackage>& outdated,
                    const std::vector<std::string>& namedBefore, bool quiet) {
    for (const repositoryPackage& package : outdated) {
        if (std::find(namedBefore.begin(), namedBefore.end(), package.path) != namedBefore.end()) {
            continue;
        }
        unlink((directory + "/" + package.path).c_str());
        report(quiet, directory, "removed " + package.path);
    }
}
