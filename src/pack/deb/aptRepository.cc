#include "pack/deb/aptRepository.h"

#include "pack/deb/aptSubscription.h"
#include "pack/repository/repositoryFiles.h"
#include "pack/repository/repositoryIndex.h"
#include "pack/repository/repositoryKey.h"
#include "pack/repository/repositoryRequest.h"
#include "pack/repository/repositoryWriter.h"
#include "pack/repository/signingKey.h"
#include "pack/repository/subscription.h"
#include "pack/zip/buildTime.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <sstream>
#include <unistd.h>

namespace {

// The programs, found before anything is written.
const std::vector<repositoryProgram> aptPrograms = {
    {"dpkg-deb", "dpkg"}, {"dpkg", "dpkg"}, {"apt-ftparchive", "apt-utils"}};

struct aptTools {
    explicit aptTools(const openedRepository& opened)
        : dpkgDeb(opened.programs[0]), dpkg(opened.programs[1]), ftparchive(opened.programs[2]) {}
    std::string dpkgDeb;
    std::string dpkg;
    std::string ftparchive;
};

// Letters, digits and the few marks a Debian name, version (without its
// epoch) or architecture may hold: nothing that needs quoting in
// apt-ftparchive's configuration or a file name.
bool isPlainField(const std::string& value) {
    return isPlainText(value, "+-.~");
}

// pool/main/L/NAME/NAME_VERSION_ARCH.deb, L being "libX" for a library.
std::string poolDirectory(const std::string& name) {
    std::string letter = name.compare(0, 3, "lib") == 0 ? name.substr(0, 4) : name.substr(0, 1);
    return "pool/main/" + letter + "/" + name;
}

repositoryPackage readDebian(const aptTools& tools, const std::string& path) {
    std::istringstream fields(runProgram(
        {tools.dpkgDeb, "--field", path, "Package", "Version", "Architecture"}, "", true));
    repositoryPackage package;
    for (std::string line; std::getline(fields, line);) {
        size_t colon = line.find(": ");
        std::string value = colon == std::string::npos ? "" : line.substr(colon + 2);
        std::string field = line.substr(0, colon);
        (field == "Package"   ? package.name
         : field == "Version" ? package.version
                              : package.architecture) = value;
    }
    std::string version = package.version.substr(package.version.find(':') + 1);
    if (!isPlainField(package.name) || !isPlainField(version) ||
        !isPlainField(package.architecture)) {
        fail("'" + path + "' is not a .deb that larkwin-pack can add to a repository");
    }
    package.path = poolDirectory(package.name) + "/" + package.name + "_" + version + "_" +
                   package.architecture + ".deb";
    return package;
}

// Every NAME_VERSION_ARCH.deb in the pool.
std::vector<repositoryPackage> listPool(const std::string& directory) {
    std::vector<repositoryPackage> found;
    for (const std::string& letter : listDirectory(directory + "/pool/main")) {
        for (const std::string& name : listDirectory(directory + "/pool/main/" + letter)) {
            std::string folder = "pool/main/" + letter + "/" + name;
            for (const std::string& file : listDirectory(directory + "/" + folder)) {
                size_t first = file.find('_');
                size_t second = file.find('_', first + 1);
                if (first == std::string::npos || second == std::string::npos || file.size() < 5 ||
                    file.compare(file.size() - 4, 4, ".deb") != 0) {
                    continue;
                }
                repositoryPackage package = {
                    file.substr(0, first), file.substr(first + 1, second - first - 1),
                    file.substr(second + 1, file.size() - 4 - second - 1), folder + "/" + file};
                if (!isPlainField(package.name) || !isPlainField(package.version) ||
                    !isPlainField(package.architecture)) {
                    continue;
                }
                if (package.name != name) {
                    fail("'" + folder + "/" + file + "' in the repository '" + directory +
                         "' belongs to another package than " + name + ": remove it");
                }
                found.push_back(package);
            }
        }
    }
    return found;
}

bool olderDebian(const std::string& a, const std::string& b, void* context) {
    const aptTools& tools = *static_cast<const aptTools*>(context);
    std::string printed;
    return runProgramStatus({tools.dpkg, "--compare-versions", a, "lt", b}, printed) == 0;
}

bool sameDebianVersion(const aptTools& tools, const std::string& a, const std::string& b) {
    std::string printed;
    return runProgramStatus({tools.dpkg, "--compare-versions", a, "eq", b}, printed) == 0;
}

// A file of the pool that holds package's name and architecture at a
// version that dpkg counts as the same under another spelling ("1.00" is
// "1.0"), or null.
const repositoryPackage* findSameVersion(const aptTools& tools,
                                         const std::vector<repositoryPackage>& pool,
                                         const repositoryPackage& package) {
    std::string version = package.version.substr(package.version.find(':') + 1);
    for (const repositoryPackage& other : pool) {
        if (other.name == package.name && other.architecture == package.architecture &&
            other.path != package.path && sameDebianVersion(tools, other.version, version)) {
            return &other;
        }
    }
    return nullptr;
}

// The new packages, each with the file it comes from. Refuses a version
// that the pool holds with other content; one it holds as it is stays.
std::vector<std::pair<repositoryPackage, std::string>>
checkNewPackages(const aptTools& tools, const repositoryRequest& request) {
    std::vector<std::pair<repositoryPackage, std::string>> added;
    std::vector<repositoryPackage> pool = listPool(request.directory);
    for (const std::string& path : request.packages) {
        repositoryPackage package = readDebian(tools, path);
        std::string inPool = request.directory + "/" + package.path;
        const repositoryPackage* same = findSameVersion(tools, pool, package);
        if (same != nullptr || (fileExists(inPool) && !sameContent(inPool, path))) {
            fail(package.name + " " + package.version + " (" + package.architecture +
                 ") is in the repository '" + request.directory + "' already" +
                 (same != nullptr ? " as " + same->version : "") +
                 ", with other content: give the package a new version");
        }
        if (!fileExists(inPool)) {
            added.emplace_back(package, path);
        } else {
            report(request.quiet, request.directory,
                   package.name + " " + package.version + " is there already");
        }
    }
    return added;
}

// The architectures of the packages, each once, in order.
std::vector<std::string> architectures(const std::vector<repositoryPackage>& packages) {
    std::vector<std::string> found;
    for (const repositoryPackage& package : packages) {
        if (std::find(found.begin(), found.end(), package.architecture) == found.end()) {
            found.push_back(package.architecture);
        }
    }
    return found;
}

// Throws unless each stanza's Package names the pool folder its Filename
// is in: a file put there under a name of its own must not bring another
// package into the index.
void checkPackageNames(const std::string& directory, const std::string& packages) {
    std::istringstream lines(packages + "\n");
    std::string name;
    std::string file;
    for (std::string line; std::getline(lines, line);) {
        if (line.compare(0, 9, "Package: ") == 0) {
            name = line.substr(9);
        } else if (line.compare(0, 10, "Filename: ") == 0) {
            file = line.substr(10);
        } else if (line.empty() && !file.empty()) {
            if (file.compare(0, poolDirectory(name).size() + 1, poolDirectory(name) + "/") != 0) {
                fail("'" + file + "' in the repository '" + directory + "' holds the package " +
                     name + ", which belongs elsewhere: remove it");
            }
            name.clear();
            file.clear();
        }
    }
}

// The pool files that the indexes now in place name: what a client may
// still fetch, so that they stay until the next update.
std::vector<std::string> findIndexedFiles(const std::string& directory, const std::string& suite) {
    std::vector<std::string> found;
    std::string main = directory + "/dists/" + suite + "/main";
    for (const std::string& binary : listDirectory(main)) {
        std::string packages = main + "/" + binary + "/Packages";
        if (binary.compare(0, 7, "binary-") != 0 || !fileExists(packages)) {
            continue;
        }
        std::istringstream lines(readFile(packages));
        for (std::string line; std::getline(lines, line);) {
            if (line.compare(0, 10, "Filename: ") == 0) {
                found.push_back(line.substr(10));
            }
        }
    }
    return found;
}

// scratch/dist/main/binary-ARCH/Packages, .gz and .xz of the kept packages,
// by apt-ftparchive run in the repository (scratch is relative to it).
void generatePackages(const aptTools& tools, const std::string& directory,
                      const std::string& scratch, const std::vector<repositoryPackage>& kept,
                      const std::string& architecture) {
    std::string list;
    for (const repositoryPackage& package : kept) {
        if (package.architecture == architecture) {
            list += package.path + "\n";
        }
    }
    std::string output = scratch + "/dist/main/binary-" + architecture;
    makeDirectory(directory + "/" + output);
    replaceFile(directory + "/" + scratch + "/" + architecture + ".list", list, 0644);
    replaceFile(directory + "/" + scratch + "/" + architecture + ".conf",
                "Dir { ArchiveDir \".\"; };\n"
                "Default { Packages::Compress \". gzip xz\"; };\n"
                "BinDirectory \"pool\" { Packages \"" +
                    output + "/Packages\"; FileList \"" + scratch + "/" + architecture +
                    ".list\"; };\n",
                0644);
    runProgram({tools.ftparchive, "--quiet", "generate", scratch + "/" + architecture + ".conf"},
               directory, true);
    checkPackageNames(directory, readFile(directory + "/" + output + "/Packages"));
}

// scratch/Release, naming the indexes by their SHA-256 alone, which is
// what apt fetches them by; then InRelease and Release.gpg.
void writeRelease(const aptTools& tools, const signingKey& key, const std::string& directory,
                  const std::string& scratch, const std::string& suite,
                  const std::vector<std::string>& architectureList) {
    std::string joined;
    for (const std::string& architecture : architectureList) {
        joined += (joined.empty() ? "" : " ") + architecture;
    }
    const std::string prefix = "APT::FTPArchive::Release::";
    std::vector<std::string> command = {tools.ftparchive,
                                        "-o",
                                        prefix + "Suite=" + suite,
                                        "-o",
                                        prefix + "Codename=" + suite,
                                        "-o",
                                        prefix + "Components=main",
                                        "-o",
                                        prefix + "Architectures=" + joined,
                                        "-o",
                                        prefix + "Acquire-By-Hash=yes",
                                        "-o",
                                        prefix + "MD5=false",
                                        "-o",
                                        prefix + "SHA1=false",
                                        "-o",
                                        prefix + "SHA512=false",
                                        "release",
                                        scratch + "/dist"};
    // Else the Date field is now.
    std::optional<long> epoch = getSourceDateEpoch();
    if (epoch) {
        command.insert(command.begin() + 1, {"-o", prefix + "Date=" + formatMailDate(*epoch)});
    }
    std::string release = runProgram(command, directory);
    std::string staged = directory + "/" + scratch;
    replaceFile(staged + "/Release", release, 0644);
    key.clearSign(staged + "/Release", staged + "/InRelease");
    key.detachSign(staged + "/Release", staged + "/Release.gpg");
}

// The indexes moved into dists/SUITE, each also under by-hash/SHA256/ (a
// link to the same file), the Release files last and InRelease the very
// last. Returns the hashes that the new Release names.
std::vector<std::string> publishIndexes(const std::string& directory, const std::string& scratch,
                                        const std::string& suite) {
    std::string staged = directory + "/" + scratch;
    std::string dists = directory + "/dists/" + suite;
    std::vector<std::string> named;
    for (const auto& entry : findReleaseHashes(readFile(staged + "/Release"))) {
        std::string from = staged + "/dist/" + entry.second;
        std::string folder = dists + "/" + entry.second.substr(0, entry.second.rfind('/'));
        std::string byHash = folder + "/by-hash/SHA256/" + entry.first;
        makeDirectory(folder + "/by-hash/SHA256");
        if (link(from.c_str(), byHash.c_str()) != 0 && errno != EEXIST) {
            fail("Unable to create '" + byHash + "': " + strerror(errno));
        }
        named.push_back(entry.first);
    }
    for (const auto& entry : findReleaseHashes(readFile(staged + "/Release"))) {
        renameFile(staged + "/dist/" + entry.second, dists + "/" + entry.second);
    }
    heldSignals together;
    renameFile(staged + "/Release.gpg", dists + "/Release.gpg");
    renameFile(staged + "/Release", dists + "/Release");
    renameFile(staged + "/InRelease", dists + "/InRelease");
    return named;
}

// Removes the by-hash files that neither the new Release nor the one
// before it names: a reader that fetched the old InRelease still finds
// what it names.
void pruneByHash(const std::string& directory, const std::string& suite,
                 const std::vector<std::string>& keep) {
    std::string dists = directory + "/dists/" + suite + "/main";
    for (const std::string& binary : listDirectory(dists)) {
        std::string folder = dists + "/" + binary + "/by-hash/SHA256";
        for (const std::string& hash : listDirectory(folder)) {
            if (std::find(keep.begin(), keep.end(), hash) == keep.end()) {
                unlink((folder + "/" + hash).c_str());
            }
        }
    }
}

// The key and NAME.sources beside the repository.
void writeSubscription(const repositoryRequest& request, const signingKey& key) {
    std::string sources = createAptSources(request.name, request.url, request.suite);
    replaceFile(request.directory + "/" + keyringFileName(request.name), key.exportPublic(), 0644);
    replaceFile(request.directory + "/" + request.name + ".sources", sources, 0644);
}

void publish(const aptTools& tools, const signingKey& key, const repositoryRequest& request,
             const std::vector<std::pair<repositoryPackage, std::string>>& added) {
    const std::string& directory = request.directory;
    std::string scratch = request.lock->scratch().substr(directory.size() + 1);
    writeSubscription(request, key);
    for (const auto& addition : added) {
        std::string inPool = directory + "/" + addition.first.path;
        makeDirectory(inPool.substr(0, inPool.rfind('/')));
        copyFile(addition.second, directory + "/" + scratch + "/new.deb");
        renameFile(directory + "/" + scratch + "/new.deb", inPool);
        report(request.quiet, directory, "added " + addition.first.path);
    }
    std::vector<repositoryPackage> packages = listPool(directory);
    sortPackages(packages, olderDebian, const_cast<aptTools*>(&tools));
    std::vector<repositoryPackage> kept;
    std::vector<repositoryPackage> outdated;
    splitByAge(packages, request.keep, kept, outdated);
    std::vector<std::string> architectureList = architectures(kept);
    for (const std::string& architecture : architectureList) {
        generatePackages(tools, directory, scratch, kept, architecture);
    }
    writeRelease(tools, key, directory, scratch, request.suite, architectureList);
    std::string before = directory + "/dists/" + request.suite + "/Release";
    std::vector<std::pair<std::string, std::string>> previous;
    if (fileExists(before)) {
        previous = findReleaseHashes(readFile(before));
    }
    std::vector<std::string> indexed = findIndexedFiles(directory, request.suite);
    std::vector<std::string> named = publishIndexes(directory, scratch, request.suite);
    for (const auto& entry : previous) {
        named.push_back(entry.first);
    }
    pruneByHash(directory, request.suite, named);
    removeOutdated(directory, outdated, indexed, request.quiet);
}

} // namespace

void prepareAptRepository(const repositoryRequest& request) {
    openedRepository opened(request, aptPrograms);
    aptTools tools(opened);
    checkRepositoryKey(request, opened.key);
    checkNewPackages(tools, request);
}

void writeAptRepository(const repositoryRequest& request) {
    openedRepository opened(request, aptPrograms);
    aptTools tools(opened);
    std::unique_ptr<repositoryLock> own;
    repositoryRequest locked = lockRepository(request, opened.key, &own);
    publish(tools, opened.key, locked, checkNewPackages(tools, locked));
}
