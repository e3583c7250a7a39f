#include "pack/package/packages.h"

#include "pack/base/reasonedFiles.h"
#include "pack/image/appContent.h"
#include "pack/image/applicationDirectory.h"
#include "pack/image/directoryTree.h"
#include "pack/image/madeDirectories.h"
#include "pack/package/packageBaseArchive.h"
#include "pack/package/packageFormat.h"
#include "pack/package/packageRepositories.h"
#include "pack/package/packageRequest.h"
#include "pack/package/packageService.h"
#include "pack/package/packageTexts.h"
#include "pack/package/packageTraining.h"
#include "pack/package/packageTree.h"
#include "pack/package/stagingFiles.h"
#include "pack/repository/signingKey.h"
#include "pack/tools/toolProcess.h"
#include "unix/exePath.h"
#include "unix/files.h"
#include "unix/removalOnSignal.h"
#include "util/owned.h"
#include "util/stringArray.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

// The end record stores the comment length in 16 bits.
static const size_t longestConfiguration = 65535;

char* createInstalledConfiguration(const char* configuration, const char* name) {
    stringBuffer text;
    text.append(configuration);
    if (text.getLength() > 0 && configuration[text.getLength() - 1] != '\n') {
        text.append('\n');
    }
    ownedString settings(createSettingsLines(name));
    text.append(settings.get());
    if ((size_t)text.getLength() > longestConfiguration) {
        throw createStringCopy("the configuration with the settings' includes is longer than "
                               "65535 bytes");
    }
    return text.createString();
}

// A scratch directory whose path rpmbuild's recipe and macros take as it
// is: under TMPDIR when its path is plain, else under /tmp. It is removed
// with what it holds when the packages are written or have failed, and on
// a termination signal.
class workDirectory {
  public:
    workDirectory() {
        const char* temporary = getenv("TMPDIR");
        int plain = temporary != nullptr && temporary[0] == '/';
        for (const char* c = temporary; plain && *c != 0; c++) {
            plain = strchr("'\"%$`\\ \t\n", *c) == nullptr;
        }
        path = std::string(plain ? temporary : "/tmp") + "/larkwin-pack-XXXXXX";
        if (!makeRegisteredDirectory(&path[0])) {
            std::string message = "Unable to create '" + path + "': " + strerror(errno);
            throw createStringCopy(message.c_str());
        }
    }
    ~workDirectory() {
        removeTree(path.c_str());
        unregisterRemoval(path.c_str());
    }
    workDirectory(const workDirectory&) = delete;
    workDirectory& operator=(const workDirectory&) = delete;
    std::string path;
};

static void strip(const stringArray& files) {
    if (files.size() == 0) {
        return;
    }
    ownedString tool(createExePath(const_cast<char*>("strip")));
    if (tool == nullptr) {
        throw createStringCopy("cannot find strip (Debian's binutils)");
    }
    // As Debian's packages strip their programs and libraries.
    std::vector<char*> arguments = {tool.get(), const_cast<char*>("--remove-section=.comment"),
                                    const_cast<char*>("--remove-section=.note"),
                                    const_cast<char*>("--strip-unneeded")};
    for (int i = 0; i < files.size(); i++) {
        arguments.push_back(files[i]);
    }
    arguments.push_back(nullptr);
    stringBuffer printed;
    runToolOrFail(arguments.data(), &printed);
}

// A stripped copy of the launcher, made before the bundle is: stripping the
// bundle would cut off its archive.
static std::string strippedLauncher(const std::string& launcher, const char* work) {
    std::string copy = std::string(work) + "/larkwin";
    copyTree(launcher.c_str(), copy.c_str());
    stringArray files;
    files.append(createStringCopy(copy.c_str()));
    strip(files);
    return copy;
}

// The application directory under root/opt/NAME, with the stripped
// launcher. The package has a unit of its own, which names the installed
// path; training waits for the stripped runtime; the temporary path means
// nothing to the user.
static void writeImage(const packageRequest& request, const char* configuration, const char* root,
                       const char* work) {
    std::string opt = std::string(root) + "/opt";
    packMakeDirectories(opt.c_str());
    imageRequest image = request.image;
    image.directory = opt + "/" + request.name;
    image.launcher = strippedLauncher(request.image.launcher, work);
    image.quiet = true;
    image.package = true;
    image.service.reset();
    image.training.reset();
    writeApplicationDirectory(image, configuration);
    stringArray runtimeFiles;
    findFiles((image.directory + "/runtime").c_str(), runtimeFiles, 1);
    strip(runtimeFiles);
}

// The formats' packages in the order of the table, each built into a
// scratch directory of its own; then, once the repositories have refused
// nothing, all of them are published together (a failure leaves none), and
// then each joins its repository.
static void writeFormats(const packageRequest& request, const stagedTree& tree) {
    // Quiet while built: each is named once it is published.
    packageRequest building = request;
    building.image.quiet = true;
    std::vector<std::pair<std::string, std::string>> builtAndTo;
    std::vector<const packageOutput*> outputs;
    for (const packageFormat* const* format = packageFormats; *format != nullptr; format++) {
        for (const packageOutput& output : request.outputs) {
            if (output.format == *format) {
                std::string built =
                    std::string(tree.work) + "/built-" + std::to_string(builtAndTo.size());
                packMakeDirectories(built.c_str());
                (*format)->write(building, tree, built);
                builtAndTo.emplace_back(built, output.directory);
                outputs.push_back(&output);
            }
        }
    }
    std::vector<std::vector<std::string>> built(builtAndTo.size());
    std::vector<std::vector<std::string>> written(builtAndTo.size());
    for (size_t i = 0; i < builtAndTo.size(); i++) {
        stringArray files;
        findFiles(builtAndTo[i].first.c_str(), files, 0);
        for (int j = 0; j < files.size(); j++) {
            built[i].push_back(files[j]);
            written[i].push_back(builtAndTo[i].second + "/" + (strrchr(files[j], '/') + 1));
        }
    }
    packageRepositories repositories(request, outputs, built);
    publishAll(builtAndTo, request.image.quiet);
    repositories.publish(written);
}

static void buildPackages(const packageRequest& request, const char* configuration,
                          const char* work, const std::string* publicKey) {
    std::string root = std::string(work) + "/root";
    std::vector<installedEntry> paths;
    stagedTree tree = {root.c_str(), work, getPackageTime(), &paths, publicKey};
    packMakeDirectories(tree.root);
    ownedString installed(createInstalledConfiguration(configuration, request.name.c_str()));
    writeImage(request, installed.get(), tree.root, work);
    packageRequest staged = request;
    staged.baseArchiveAtInstall = moveBaseArchiveToInstall(request, tree.root);
    if (request.image.training) {
        trainPackageImage(request, tree.root, tree.epochSeconds);
    }
    stagePackageTree(request, configuration, tree.root, work, tree.epochSeconds, paths);
    for (const packageOutput& output : request.outputs) {
        output.format->stage(staged, tree);
    }
    normalizeModes(tree.root);
    sealShippedArchives(request, tree.root);
    writeFormats(staged, tree);
}

std::string checkPackageFormats(const packageRequest& request) {
    for (const packageFormat* const* format = packageFormats; *format != nullptr; format++) {
        for (const packageOutput& output : request.outputs) {
            std::string error = output.format == *format ? (*format)->check(request) : "";
            if (!error.empty()) {
                return error;
            }
        }
    }
    return "";
}

// The folders that receive the packages and repositories.
static std::vector<std::string> packagePlaces(const packageRequest& request) {
    std::vector<std::string> places;
    for (const packageOutput& output : request.outputs) {
        places.push_back(output.directory);
        if (!output.repository.empty()) {
            places.push_back(output.repository);
        }
    }
    return places;
}

void writePackages(const packageRequest& request, const char* configuration) {
    checkServiceNames(request);
    checkPackageTraining(request);
    checkAppContents(request.image.contents, packagePlaces(request), true);
    // The keys are tried before anything is made.
    checkPackageRepositories(request);
    std::string publicKey;
    if (request.updates) {
        signingKey key(request.updates->signingKey);
        if (!request.updates->nextSigningKey.empty()) {
            key.alsoSignWith(request.updates->nextSigningKey);
        }
        publicKey = key.exportPublic();
    }
    // Before any work; removed again, when empty, if the run fails.
    madeDirectories outputs;
    for (const packageOutput& output : request.outputs) {
        outputs.make(output.directory, true);
    }
    {
        workDirectory work;
        buildPackages(request, configuration, work.path.c_str(),
                      request.updates ? &publicKey : nullptr);
    }
    outputs.keep();
}
