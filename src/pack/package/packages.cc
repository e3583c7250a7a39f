#include "pack/package/packages.h"

#include "pack/image/appImage.h"
#include "pack/image/directoryTree.h"
#include "pack/options/packOptions.h"
#include "pack/package/debianPackage.h"
#include "pack/package/packageService.h"
#include "pack/package/packageSubscription.h"
#include "pack/package/packageTexts.h"
#include "pack/package/packageTraining.h"
#include "pack/package/packageTree.h"
#include "pack/package/rpmPackage.h"
#include "pack/package/stagingFiles.h"
#include "pack/repository/aptRepository.h"
#include "pack/repository/repositoryRequest.h"
#include "pack/repository/rpmRepository.h"
#include "pack/repository/signingKey.h"
#include "pack/tools/toolProcess.h"
#include "unix/exePath.h"
#include "util/stringArray.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cstdlib>
#include <cstring>
#include <ctime>

// The end record stores the comment length in 16 bits.
static const size_t longestConfiguration = 65535;

char* createInstalledConfiguration(const char* configuration, const char* name) {
    stringBuffer text;
    text.append(configuration);
    if (text.getLength() > 0 && configuration[text.getLength() - 1] != '\n') {
        text.append('\n');
    }
    char* settings = createSettingsLines(name);
    text.append(settings);
    delete[] settings;
    if ((size_t)text.getLength() > longestConfiguration) {
        throw createStringCopy("the configuration with the settings' includes is longer than "
                               "65535 bytes");
    }
    return text.createString();
}

// A scratch directory whose path rpmbuild's recipe and macros take as it
// is: under TMPDIR when its path is plain, else under /tmp.
static char* createWorkDirectory() {
    const char* temporary = getenv("TMPDIR");
    int plain = temporary != nullptr && temporary[0] == '/';
    for (const char* c = temporary; plain && *c != 0; c++) {
        plain = strchr("'\"%$`\\ \t\n", *c) == nullptr;
    }
    char* work = createString(plain ? temporary : "/tmp", "/larkwin-pack-XXXXXX");
    if (mkdtemp(work) == nullptr) {
        char* message = createMessage("Unable to create '%s'", work);
        delete[] work;
        throw message;
    }
    return work;
}

static void strip(stringArray& files) {
    if (files.size() == 0) {
        return;
    }
    char* tool = createExePath(const_cast<char*>("strip"));
    if (tool == nullptr) {
        throw createStringCopy("cannot find strip (Debian's binutils)");
    }
    // As Debian's packages strip their programs and libraries.
    const char* options[] = {"--remove-section=.comment", "--remove-section=.note",
                             "--strip-unneeded"};
    char** arguments = new char*[files.size() + 5];
    arguments[0] = tool;
    for (int i = 0; i < 3; i++) {
        arguments[1 + i] = const_cast<char*>(options[i]);
    }
    for (int i = 0; i < files.size(); i++) {
        arguments[4 + i] = files[i];
    }
    arguments[4 + files.size()] = nullptr;
    stringBuffer printed;
    try {
        runToolOrFail(arguments, &printed);
    } catch (char*) {
        delete[] arguments;
        delete[] tool;
        throw;
    }
    delete[] arguments;
    delete[] tool;
}

// A stripped copy of the launcher, made before the bundle is: stripping the
// bundle would cut off its archive.
static char* createStrippedLauncher(const char* launcher, const char* work) {
    char* copy = joinPath(work, "larkwin");
    stringArray files;
    try {
        copyTree(launcher, copy);
        files.append(createStringCopy(copy));
        strip(files);
    } catch (char*) {
        delete[] copy;
        throw;
    }
    return copy;
}

// The app image under root/opt/NAME, through the options' own fields.
static void writeImage(packOptions& options, const char* configuration, const char* root,
                       const char* work) {
    char* opt = createString(root, "/opt");
    char* image = joinPath(opt, options.name);
    char* launcher = options.launcher;
    char* stripped = nullptr;
    // The package has a unit of its own, which names the installed path;
    // training waits for the stripped runtime.
    int service = options.service;
    int train = options.train;
    try {
        makeDirectories(opt);
        stripped = createStrippedLauncher(launcher, work);
        options.launcher = stripped;
        options.appImage = image;
        // Its temporary path means nothing to the user.
        int quiet = options.quiet;
        options.quiet = 1;
        options.service = 0;
        options.train = 0;
        writeAppImage(options, configuration);
        options.quiet = quiet;
        options.service = service;
        options.train = train;
    } catch (char*) {
        options.service = service;
        options.train = train;
        options.launcher = launcher;
        options.appImage = nullptr;
        delete[] stripped;
        delete[] image;
        delete[] opt;
        throw;
    }
    options.launcher = launcher;
    options.appImage = nullptr;
    stringArray runtimeFiles;
    char* runtime = joinPath(image, "runtime");
    findFiles(runtime, runtimeFiles, 1);
    delete[] runtime;
    delete[] stripped;
    delete[] image;
    delete[] opt;
    strip(runtimeFiles);
}

// The .deb, then the .rpm, each with its own subscription files when the
// options give an update URL (publicKey is then the key's public part).
static void writeEach(packOptions& options, const char* root, const char* work, long epochSeconds,
                      stringArray& files, const std::string& publicKey, stringArray& debs,
                      stringArray& rpms) {
    if (options.deb != nullptr) {
        if (options.updateUrl != nullptr) {
            addAptSubscription(root, options.name, options.updateUrl, publicKey);
            normalizeModes(root);
        }
        writeDebianPackage(options, root, work, epochSeconds, debs);
        removeAptSubscription(root, options.name);
    }
    if (options.rpm != nullptr) {
        if (options.updateUrl != nullptr) {
            addRpmSubscription(root, options.name, options.updateUrl, publicKey, files);
            normalizeModes(root);
        }
        writeRpmPackage(options, root, work, files, rpms);
    }
}

static void buildPackages(packOptions& options, const char* configuration, const char* work,
                          const std::string& publicKey, stringArray& debs, stringArray& rpms) {
    char* root = joinPath(work, "root");
    char* installed = nullptr;
    stringArray files;
    long epochSeconds = getPackageTime();
    try {
        makeDirectories(root);
        installed = createInstalledConfiguration(configuration, options.name);
        writeImage(options, installed, root, work);
        if (options.train) {
            trainPackageImage(options, root, epochSeconds);
        }
        stagePackageTree(options, configuration, root, work, epochSeconds, files);
        normalizeModes(root);
        sealShippedArchives(options, root);
        writeEach(options, root, work, epochSeconds, files, publicKey, debs, rpms);
    } catch (char*) {
        delete[] installed;
        delete[] root;
        throw;
    }
    delete[] installed;
    delete[] root;
}

// Adds the packages to the repositories that the options name.
static void publishUpdates(const packOptions& options, const stringArray& debs,
                           const stringArray& rpms) {
    const char* repositories[] = {options.aptRepo, options.rpmRepo};
    const stringArray* packages[] = {&debs, &rpms};
    for (int i = 0; i < 2; i++) {
        if (repositories[i] == nullptr) {
            continue;
        }
        repositoryRequest request;
        request.directory = repositories[i];
        for (int j = 0; j < packages[i]->size(); j++) {
            request.packages.push_back((*packages[i])[j]);
        }
        request.signingKey = options.signKey;
        request.url = options.updateUrl;
        request.name = options.name;
        request.keep = options.keep != nullptr ? atoi(options.keep) : 3;
        request.quiet = options.quiet;
        (i == 0 ? writeAptRepository : writeRpmRepository)(request);
    }
}

void writePackages(packOptions& options, const char* configuration) {
    checkServiceNames(options);
    checkPackageTraining(options);
    // The key is tried before anything is made.
    std::string publicKey;
    if (options.signKey != nullptr) {
        publicKey = signingKey(options.signKey).exportPublic();
    }
    stringArray debs;
    stringArray rpms;
    char* work = createWorkDirectory();
    try {
        buildPackages(options, configuration, work, publicKey, debs, rpms);
    } catch (char*) {
        removeTree(work);
        delete[] work;
        throw;
    }
    removeTree(work);
    delete[] work;
    publishUpdates(options, debs, rpms);
}
