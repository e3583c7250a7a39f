#include "pack/image/applicationDirectory.h"

#include "pack/base/failure.h"
#include "pack/image/accessNotes.h"
#include "pack/image/directoryTree.h"
#include "pack/image/imageTraining.h"
#include "pack/image/madeDirectories.h"
#include "pack/image/treeTimes.h"
#include "pack/service/serviceUnit.h"
#include "pack/tools/jdkTools.h"
#include "pack/zip/buildTime.h"
#include "pack/zip/bundle.h"
#include "pack/zip/classPathStrip.h"
#include "pack/zip/zipArchive.h"
#include "runtime/runtimeRelease.h"
#include "unix/exePath.h"
#include "unix/files.h"
#include "unix/removalOnSignal.h"
#include "util/owned.h"
#include "util/stringArray.h"
#include "util/strings.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

const char* applicationDirectoryJavaPath = "../runtime/bin/java";

static const double megabyte = 1e6;

// The directory without trailing slashes, so that its last component is
// its name and a temporary directory can be put beside it.
static std::string directoryPath(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

static std::string bundleName(const imageRequest& request, const std::string& directory) {
    if (request.name) {
        return *request.name;
    }
    size_t slash = directory.rfind('/');
    std::string last = slash != std::string::npos ? directory.substr(slash + 1) : directory;
    if (last.empty() || last == "." || last == "..") {
        fail("cannot name the bundle after '" + directory + "'; give --name");
    }
    return last;
}

// jlink adds every module that a listed one requires, excluded or not.
static void warnOfRequiredModules(const char* excluded, const std::string& runtime) {
    std::string list = excluded != nullptr ? excluded : "";
    for (size_t begin = 0; begin < list.size();) {
        size_t end = list.find(',', begin);
        end = end == std::string::npos ? list.size() : end;
        std::string module = list.substr(begin, end - begin);
        if (!module.empty() && runtimeHasModule(runtime.c_str(), module.c_str())) {
            fprintf(stderr,
                    "larkwin-pack: warning: module %s is excluded, yet the runtime has it: a "
                    "module it links requires it\n",
                    module.c_str());
        }
        begin = end + 1;
    }
}

// The first feature release whose dump was found to give the same bytes
// each time (Temurin 25.0.3), and the first whose start-up cache maps an
// archive of its own (Java 13).
static const int firstDeterministicDump = 25;
static const int firstStartupCache = 13;

bool leavesOutBaseArchive(const imageRequest& request, const char* jdkHome) {
    if (request.package || !request.startupCache || request.training || !getSourceDateEpoch()) {
        return false;
    }
    int feature = runtimeRelease(jdkHome).getFeatureVersion();
    return feature >= firstStartupCache && feature < firstDeterministicDump;
}

static void linkAutomaticRuntime(const imageRequest& request, const stringArray& jars,
                                 const std::string& image, const std::string& runtime) {
    ownedString home(createJdkHome());
    std::string scratch = image + "/.classpath.jar";
    const char* extra = request.addModules ? request.addModules->c_str() : nullptr;
    const char* excluded = request.excludeModules ? request.excludeModules->c_str() : nullptr;
    stringArray referenced;
    ownedString modules(
        createModuleList(home.get(), jars, extra, excluded, scratch.c_str(), &referenced));
    // Said even when quiet: the runtime may not run every class of the jars.
    for (int i = 0; i < referenced.size(); i++) {
        fprintf(stderr,
                "larkwin-pack: warning: module %s is excluded, yet a class in the jars refers to "
                "it (jdeps found it); that class fails if it runs\n",
                referenced[i]);
    }
    if (!request.quiet) {
        printf("larkwin-pack: linking a runtime of %s with the JDK in '%s'\n", modules.get(),
               home.get());
    }
    bool leftOut = leavesOutBaseArchive(request, home.get());
    if (leftOut && !request.quiet) {
        printf("larkwin-pack: the runtime gets no base archive (lib/server/classes.jsa): this "
               "JDK's dump differs from one build to the next; the start-up cache makes the "
               "application's archive at its first start\n");
    }
    linkRuntime(home.get(), modules.get(), runtime.c_str(), request.keepDebug, !leftOut);
    warnOfRequiredModules(excluded, runtime);
}

static void copyRuntime(const std::string& givenHome, const std::string& runtime) {
    // The home itself may be a link, such as /usr/lib/jvm/default-java.
    ownedString home(createCanonicalPath(givenHome.c_str()));
    std::string java = home != nullptr ? std::string(home.get()) + "/bin/java" : "";
    if (home == nullptr || !testFile(&java[0])) {
        fail("'" + givenHome + "' is not a Java runtime's home: it has no bin/java");
    }
    copySelfContainedTree(home.get(), runtime.c_str());
}

void writeImageRuntime(const imageRequest& request, const stringArray& jars,
                       const std::string& scratch, const std::string& runtime) {
    if (!request.runtime || *request.runtime == "auto") {
        linkAutomaticRuntime(request, jars, scratch, runtime);
    } else {
        copyRuntime(*request.runtime, runtime);
    }
}

// --service: DIR/lib/systemd/system/NAME.service, which runs DIR/bin/NAME
// where DIR is now; systemd takes a unit linked into /etc/systemd/system.
static void addServiceUnit(const serviceRequest& service, const std::string& image,
                           const std::string& directory, const std::string& name) {
    std::string given = directory;
    ownedString absolute(createAbsolutePath(nullptr, &given[0]));
    std::string executable = std::string(absolute.get()) + "/bin/" + name;
    std::string units = image + "/lib/systemd/system";
    writeServiceUnit(service, name.c_str(), executable.c_str(), units.c_str());
}

static void makeDirectory(const std::string& path) {
    if (mkdir(path.c_str(), 0777) != 0) {
        failWithReason("Unable to create", path);
    }
}

// The jar's name in lib: its own file name, or with "N-" in front when an
// earlier jar took it.
static std::string libName(const std::vector<std::string>& used, const std::string& jar) {
    size_t slash = jar.rfind('/');
    std::string base = slash != std::string::npos ? jar.substr(slash + 1) : jar;
    for (char c : base) {
        if ((unsigned char)c < 0x20 || c == 0x7F) {
            fail("'" + jar + "' has a name that a configuration line cannot hold");
        }
    }
    std::string name = base;
    for (int n = 2; std::find(used.begin(), used.end(), name) != used.end(); n++) {
        name = std::to_string(n) + "-" + base;
    }
    return name;
}

// Copies each jar, checked to be an archive, into lib (links resolved), and
// adds to lines the configuration line that names it. The lines name every
// jar that the class path reached, in its order; a Class-Path left in a
// jar's manifest could only lead the class loader to jars outside the
// image, so a jar that has one is written without it.
static void copyJars(const std::vector<std::string>& jars, const std::string& lib,
                     stringArray* copies, std::string& lines) {
    std::vector<std::string> names;
    stringArray notes;
    for (const std::string& jar : jars) {
        zipArchive check(jar.c_str());
        names.push_back(libName(names, jar));
        std::string copy = lib + "/" + names.back();
        copies->append(createStringCopy(copy.c_str()));
        ownedString canonical(createCanonicalPath(jar.c_str()));
        const char* source = canonical != nullptr ? canonical.get() : jar.c_str();
        struct stat status;
        int mode = stat(source, &status) == 0 ? (int)(status.st_mode & 0777) : 0644;
        if (!writeWithoutClassPath(source, copy.c_str(), mode, &notes)) {
            copyTree(source, copy.c_str());
        }
        lines += "addpath ../lib/" + names.back() + "\n";
    }
    for (int i = 0; i < notes.size(); i++) {
        fprintf(stderr, "larkwin-pack: %s\n", notes[i]);
    }
}

// The launcher whose configuration first names the image's jars in order.
static void writeLauncher(const imageRequest& request, const std::string& bundle,
                          const std::string& jarLines, const char* configuration) {
    std::string text = jarLines + configuration;
    if (text.size() > 65535) {
        fail("the configuration is longer than 65535 bytes");
    }
    std::string launcher = request.launcher;
    writeConfiguredLauncher(&launcher[0], bundle.c_str(), text.c_str());
}

static void fillImage(const imageRequest& request, const std::string& image,
                      const std::string& directory, const std::string& name,
                      const char* configuration) {
    std::string bin = image + "/bin";
    std::string lib = image + "/lib";
    std::string runtime = image + "/runtime";
    makeDirectory(bin);
    makeDirectory(lib);
    // The archives are checked before the slower runtime is made.
    stringArray copies;
    std::string jarLines;
    copyJars(request.archives, lib, &copies, jarLines);
    writeLauncher(request, bin + "/" + name, jarLines, configuration);
    copyAppContents(request.contents, image, name, request.package);
    if (request.service) {
        addServiceUnit(*request.service, image, directory, name);
    }
    writeImageRuntime(request, copies, image, runtime);
    if (!request.quiet) {
        noteAbsentAccess(configuration, runtime);
    }
}

// mkdtemp makes the directory private; the image gets the usual mode.
static int publish(const char* temporary, const char* directory) {
    mode_t mask = umask(0);
    umask(mask);
    return chmod(temporary, 0777 & ~mask) == 0 && rename(temporary, directory) == 0;
}

// Removes the temporary directory, complete or not, unless it was published.
class temporaryImage {
  public:
    explicit temporaryImage(const std::string& directory) : path(directory + ".XXXXXX") {
        if (!makeRegisteredDirectory(&path[0])) {
            failWithReason("Unable to create", directory);
        }
    }
    ~temporaryImage() {
        if (!published) {
            removeTree(path.c_str());
        }
        unregisterRemoval(path.c_str());
    }
    temporaryImage(const temporaryImage&) = delete;
    temporaryImage& operator=(const temporaryImage&) = delete;
    std::string path;
    bool published = false;
};

// parents makes the directories above the image, which a failure removes.
static void buildImage(const imageRequest& request, const std::string& directory,
                       const std::string& name, const char* configuration,
                       madeDirectories& parents) {
    std::string given = directory;
    if (testFile(&given[0])) {
        fail("'" + directory + "' already exists");
    }
    parents.make(directory, false);
    // An allocation failure too removes it: main reports it.
    temporaryImage temporary(directory);
    fillImage(request, temporary.path, directory, name, configuration);
    clampTreeTimes(temporary.path.c_str());
    if (!publish(temporary.path.c_str(), directory.c_str())) {
        failWithReason("Unable to create", directory);
    }
    temporary.published = true;
}

static void reportSize(const std::string& directory) {
    double total = (double)getTreeSize(directory.c_str()) / megabyte;
    double runtimeSize = (double)getTreeSize((directory + "/runtime").c_str()) / megabyte;
    printf("larkwin-pack: wrote the app image '%s': %.1f MB (runtime %.1f MB)\n", directory.c_str(),
           total, runtimeSize);
}

// Removes the finished directory when the training that follows fails.
class trainedDirectory {
  public:
    explicit trainedDirectory(const std::string& directory) : path(directory) {}
    ~trainedDirectory() {
        if (!trained) {
            removeTree(path.c_str());
        }
    }
    trainedDirectory(const trainedDirectory&) = delete;
    trainedDirectory& operator=(const trainedDirectory&) = delete;
    const std::string& path;
    bool trained = false;
};

// The training run needs the image where it stays: on a JDK before 25 an
// archive maps only from the paths it was made with. A failed training
// leaves no image.
static void train(const imageRequest& request, const std::string& directory,
                  const std::string& name) {
    stringArray arguments;
    for (const std::string& argument : *request.training) {
        arguments.append(createStringCopy(argument.c_str()));
    }
    trainedDirectory image(directory);
    trainApplicationDirectory(directory.c_str(), name.c_str(), arguments, request.quiet);
    image.trained = true;
}

void writeApplicationDirectory(const imageRequest& request, const char* configuration) {
    std::string directory = directoryPath(request.directory);
    std::string name = bundleName(request, directory);
    checkAppContents(request.contents, {directory}, request.package);
    // Removed again, when empty, unless the image and its training succeed.
    madeDirectories parents;
    buildImage(request, directory, name, configuration, parents);
    if (request.training) {
        train(request, directory, name);
    }
    parents.keep();
    if (!request.quiet) {
        reportSize(directory);
    }
}
