#include "pack/rpm/rpmRepository.h"

#include "pack/repository/repositoryFiles.h"
#include "pack/repository/repositoryIndex.h"
#include "pack/repository/repositoryKey.h"
#include "pack/repository/repositoryRequest.h"
#include "pack/repository/repositoryWriter.h"
#include "pack/repository/signingKey.h"
#include "pack/repository/subscription.h"
#include "pack/rpm/rpmSubscription.h"
#include "pack/zip/buildTime.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The programs, found before anything is written.
const std::vector<repositoryProgram> rpmPrograms = {
    {"rpm", "rpm"}, {"rpmsign", "rpm"}, {"createrepo_c", "createrepo-c"}};

struct rpmTools {
    explicit rpmTools(const openedRepository& opened)
        : rpm(opened.programs[0]), rpmsign(opened.programs[1]), createrepo(opened.programs[2]) {}
    std::string rpm;
    std::string rpmsign;
    std::string createrepo;
};

// What an rpm name, version, release or architecture may hold: nothing
// that rpm's macros, Lua's strings or createrepo_c's lists read otherwise.
bool isPlainField(const std::string& value) {
    return isPlainText(value, "+-.~^_");
}

const char* const query = "%{NAME}\\t%{VERSION}-%{RELEASE}\\t%{ARCH}\\t%{SHA256HEADER}\\n";

// The packages' fields, with the digest of each one's header (which its
// signature does not change) in path; in the files' order.
std::vector<repositoryPackage> readRpms(const rpmTools& tools, const std::string& directory,
                                        const std::vector<std::string>& files) {
    std::vector<std::string> command = {tools.rpm,    "--query",       "--package", "--nosignature",
                                        "--nodigest", "--queryformat", query,       "--"};
    command.insert(command.end(), files.begin(), files.end());
    std::istringstream lines(runProgram(command, directory));
    std::vector<repositoryPackage> found;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        repositoryPackage package;
        std::getline(fields, package.name, '\t');
        std::getline(fields, package.version, '\t');
        std::getline(fields, package.architecture, '\t');
        std::getline(fields, package.path, '\t');
        found.push_back(package);
    }
    if (found.size() != files.size()) {
        fail("rpm could not read every package in '" + directory + "'");
    }
    for (size_t i = 0; i < files.size(); i++) {
        if (!isPlainField(found[i].name) || !isPlainField(found[i].version) ||
            !isPlainField(found[i].architecture)) {
            fail("'" + files[i] + "' is not an .rpm that larkwin-pack can add to a repository");
        }
    }
    return found;
}

std::string fileName(const repositoryPackage& package) {
    return package.name + "-" + package.version + "." + package.architecture + ".rpm";
}

// rpm.vercmp's answer for a and b: below, at or above 0 as a is older,
// the same or newer.
int compareRpm(const rpmTools& tools, const std::string& a, const std::string& b) {
    std::string code = "%{lua: local a, b = rpm.ver('" + a + "'), rpm.ver('" + b +
                       "'); print(a < b and -1 or a == b and 0 or 1)}";
    return atoi(runProgram({tools.rpm, "--eval", code}).c_str());
}

bool olderRpm(const std::string& a, const std::string& b, void* context) {
    return compareRpm(*static_cast<const rpmTools*>(context), a, b) < 0;
}

// The .rpm files in the folder, by name.
std::vector<std::string> listRpmFiles(const std::string& directory) {
    std::vector<std::string> files;
    for (const std::string& name : listDirectory(directory)) {
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".rpm") == 0) {
            files.push_back(name);
        }
    }
    return files;
}

// Every .rpm in the folder, with its header's digest in path; refuses one
// whose name is not that of the package it holds.
std::vector<repositoryPackage> readRepository(const rpmTools& tools, const std::string& directory,
                                              const std::vector<std::string>& files) {
    if (files.empty()) {
        return {};
    }
    std::vector<repositoryPackage> packages = readRpms(tools, directory, files);
    for (size_t i = 0; i < files.size(); i++) {
        if (fileName(packages[i]) != files[i]) {
            fail("'" + files[i] + "' in the repository '" + directory + "' holds the package " +
                 fileName(packages[i]) + ", which belongs elsewhere: remove it");
        }
    }
    return packages;
}

// The new packages, each with the file it comes from. Refuses a version
// that the repository holds with other content, under its own name or
// under a version that rpm counts as the same ("1.00" is "1.0"); one it
// holds as it is stays.
std::vector<std::pair<repositoryPackage, std::string>>
checkNewPackages(const rpmTools& tools, const repositoryRequest& request) {
    std::vector<repositoryPackage> packages = readRpms(tools, "", request.packages);
    std::vector<std::string> files = listRpmFiles(request.directory);
    std::vector<repositoryPackage> held = readRepository(tools, request.directory, files);
    std::vector<std::pair<repositoryPackage, std::string>> added;
    for (size_t i = 0; i < packages.size(); i++) {
        const repositoryPackage& package = packages[i];
        bool there = false;
        for (size_t j = 0; j < held.size(); j++) {
            const repositoryPackage& other = held[j];
            if (other.name != package.name || other.architecture != package.architecture ||
                compareRpm(tools, other.version, package.version) != 0) {
                continue;
            }
            if (files[j] != fileName(package) || other.path != package.path) {
                fail(package.name + " " + package.version + " (" + package.architecture +
                     ") is in the repository '" + request.directory + "' already as " +
                     other.version + ", with other content: give the package a new version");
            }
            there = true;
        }
        if (!there) {
            added.emplace_back(package, request.packages[i]);
        } else {
            report(request.quiet, request.directory,
                   package.name + " " + package.version + " is there already");
        }
    }
    return added;
}

// "%" starts a macro in what rpm is handed with --define.
std::string macroText(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        escaped += c == '%' ? "%%" : std::string(1, c);
    }
    return escaped;
}

void signPackage(const rpmTools& tools, const signingKey& key, const std::string& path) {
    runProgram({tools.rpmsign, "--define", "__gpg " + macroText(key.gpg()), "--define",
                "_gpg_name " + key.fingerprint(), "--define",
                "_gpg_sign_cmd_extra_args --batch" + createSignatureTimeOptions(key), "--addsign",
                path},
               "", true);
}

void addSigned(const rpmTools& tools, const signingKey& key, const repositoryRequest& request,
               const std::string& scratch,
               const std::vector<std::pair<repositoryPackage, std::string>>& added) {
    for (const auto& addition : added) {
        std::string staged = scratch + "/new.rpm";
        copyFile(addition.second, staged);
        signPackage(tools, key, staged);
        std::string name = fileName(addition.first);
        // createrepo_c lists the file's time: the build's, when it has one.
        std::optional<long> epoch = getSourceDateEpoch();
        struct timespec times[2] = {{(time_t)epoch.value_or(0), 0}, {(time_t)epoch.value_or(0), 0}};
        if (epoch && utimensat(AT_FDCWD, staged.c_str(), times, 0) != 0) {
            fail("Unable to set the time of '" + staged + "': " + strerror(errno));
        }
        renameFile(staged, request.directory + "/" + name);
        report(request.quiet, request.directory, "added " + name);
    }
}

// Every .rpm in the folder, by name, version and architecture; path is the
// file's name.
std::vector<repositoryPackage> listRepository(const rpmTools& tools, const std::string& directory) {
    std::vector<std::string> files = listRpmFiles(directory);
    std::vector<repositoryPackage> packages = readRepository(tools, directory, files);
    for (size_t i = 0; i < files.size(); i++) {
        packages[i].path = files[i];
    }
    return packages;
}

// The files the index names, one a line: createrepo_c's metadata is
// compressed, and this is what the next update needs of it.
const char* const indexedList = ".larkwin-pack-rpm-index";

// What the index in place names: none for a new repository; every .rpm of
// one written before that list was kept.
std::vector<std::string> findIndexedFiles(const std::string& directory) {
    if (!fileExists(directory + "/" + indexedList)) {
        return fileExists(directory + "/repodata/repomd.xml") ? listRpmFiles(directory)
                                                              : std::vector<std::string>();
    }
    std::vector<std::string> found;
    std::istringstream lines(readFile(directory + "/" + indexedList));
    for (std::string line; std::getline(lines, line);) {
        found.push_back(line);
    }
    return found;
}

// scratch/repodata by createrepo_c, of the kept packages alone, and the
// signature of its repomd.xml.
void writeMetadata(const rpmTools& tools, const signingKey& key, const std::string& directory,
                   const std::string& scratch, const std::vector<repositoryPackage>& kept) {
    std::string list;
    for (const repositoryPackage& package : kept) {
        list += package.path + "\n";
    }
    replaceFile(scratch + "/packages.list", list, 0644);
    replaceFile(scratch + "/" + indexedList, list, 0644);
    std::vector<std::string> command = {
        tools.createrepo,           "--quiet", "--no-database", "--outputdir", scratch, "--pkglist",
        scratch + "/packages.list", directory};
    // Else repomd.xml's revision and timestamps are now.
    std::optional<long> epoch = getSourceDateEpoch();
    if (epoch) {
        command.insert(command.begin() + 1,
                       {"--revision", std::to_string(*epoch), "--set-timestamp-to-revision"});
    }
    runProgram(command, "", true);
    key.detachSign(scratch + "/repodata/repomd.xml", scratch + "/repodata/repomd.xml.asc");
}

// The metadata files moved into repodata/, then repomd.xml and its
// signature; what neither it nor the one before it names is removed.
void publishMetadata(const std::string& directory, const std::string& scratch) {
    std::string repodata = directory + "/repodata";
    makeDirectory(repodata);
    std::vector<std::string> named = {"repomd.xml", "repomd.xml.asc"};
    if (fileExists(repodata + "/repomd.xml")) {
        named = findRepomdFiles(readFile(repodata + "/repomd.xml"));
        named.push_back("repomd.xml");
        named.push_back("repomd.xml.asc");
    }
    for (const std::string& file : findRepomdFiles(readFile(scratch + "/repodata/repomd.xml"))) {
        renameFile(scratch + "/repodata/" + file, repodata + "/" + file);
        named.push_back(file);
    }
    {
        heldSignals together;
        renameFile(scratch + "/repodata/repomd.xml", repodata + "/repomd.xml");
        renameFile(scratch + "/repodata/repomd.xml.asc", repodata + "/repomd.xml.asc");
    }
    renameFile(scratch + "/" + indexedList, directory + "/" + indexedList);
    for (const std::string& file : listDirectory(repodata)) {
        if (std::find(named.begin(), named.end(), file) == named.end()) {
            unlink((repodata + "/" + file).c_str());
        }
    }
}

void publish(const rpmTools& tools, const signingKey& key, const repositoryRequest& request,
             const std::vector<std::pair<repositoryPackage, std::string>>& added) {
    const std::string& directory = request.directory;
    const std::string& scratch = request.lock->scratch();
    std::string keyUrl = joinUrl(request.url, keyringFileName(request.name));
    std::string repo = createRpmRepo(request.name, request.url, keyUrl);
    replaceFile(directory + "/" + keyringFileName(request.name), key.exportPublic(), 0644);
    replaceFile(directory + "/" + request.name + ".repo", repo, 0644);
    addSigned(tools, key, request, scratch, added);
    std::vector<repositoryPackage> packages = listRepository(tools, directory);
    sortPackages(packages, olderRpm, const_cast<rpmTools*>(&tools));
    std::vector<repositoryPackage> kept;
    std::vector<repositoryPackage> outdated;
    splitByAge(packages, request.keep, kept, outdated);
    std::vector<std::string> indexed = findIndexedFiles(directory);
    writeMetadata(tools, key, directory, scratch, kept);
    publishMetadata(directory, scratch);
    removeOutdated(directory, outdated, indexed, request.quiet);
}

} // namespace

void prepareRpmRepository(const repositoryRequest& request) {
    openedRepository opened(request, rpmPrograms);
    rpmTools tools(opened);
    checkRepositoryKey(request, opened.key);
    for (const auto& addition : checkNewPackages(tools, request)) {
        signPackage(tools, opened.key, addition.second);
    }
}

void writeRpmRepository(const repositoryRequest& request) {
    openedRepository opened(request, rpmPrograms);
    rpmTools tools(opened);
    std::unique_ptr<repositoryLock> own;
    repositoryRequest locked = lockRepository(request, opened.key, &own);
    publish(tools, opened.key, locked, checkNewPackages(tools, locked));
}
