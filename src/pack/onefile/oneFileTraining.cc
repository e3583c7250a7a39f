#include "pack/onefile/oneFileTraining.h"

#include "cache/shippedArchive.h"
#include "config/unpackDirective.h"
#include "pack/base/failure.h"
#include "pack/image/directoryTree.h"
#include "pack/image/imageTraining.h"
#include "pack/onefile/oneFile.h"
#include "pack/onefile/oneFileParts.h"
#include "runtime/runtimeRelease.h"
#include "unix/files.h"
#include "util/owned.h"
#include "util/stringArray.h"
#include "util/strings.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

int endsWithText(const std::string& text, const std::string& ending) {
    return text.size() > ending.size() &&
           text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

void copyArchiveFile(const std::string& from, const std::string& to, int mode) {
    int input = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    int output = input >= 0 ? open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode) : -1;
    int copied = output >= 0 && copyFileBytes(input, output) && fchmod(output, mode) == 0;
    int saved = errno;
    if (input >= 0) {
        close(input);
    }
    if (output >= 0 && close(output) != 0 && copied) {
        copied = 0;
        saved = errno;
    }
    if (!copied) {
        fail("Unable to copy '" + from + "' to '" + to + "': " + strerror(saved));
    }
}

// The archives (NAME.jsa, 0444) and their records (NAME.jsa.info, 0644).
void copyArchives(const std::string& from, const std::string& to) {
    DIR* listing = opendir(from.c_str());
    if (listing == nullptr) {
        fail("Unable to read '" + from + "': " + strerror(errno));
    }
    std::vector<std::string> names;
    for (struct dirent* entry = readdir(listing); entry != nullptr; entry = readdir(listing)) {
        names.push_back(entry->d_name);
    }
    closedir(listing);
    for (const std::string& name : names) {
        if (endsWithText(name, ".jsa") || endsWithText(name, ".jsa.info")) {
            copyArchiveFile(from + "/" + name, to + "/" + name,
                            endsWithText(name, ".jsa") ? 0444 : 0644);
        }
    }
}

void makeFolder(const std::string& path) {
    if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
        fail("Unable to create '" + path + "': " + strerror(errno));
    }
}

} // namespace

void checkTrainableRuntime(const std::string& home) {
    int feature = runtimeRelease(home.c_str()).getFeatureVersion();
    if (isMovableArchive(feature)) {
        return;
    }
    std::string version =
        feature > 0 ? "of Java " + std::to_string(feature) : "of an unknown Java version";
    fail("--train with -o needs a runtime of Java 25 or later; the runtime is " + version +
         ", whose start-up archive maps only from the folder it was trained in, so it would not "
         "map from any user's copy of the one file");
}

void writeTrainedOneFile(const oneFileRequest& request, const std::string& scratch,
                         const std::string& name, const char* configuration) {
    checkTrainableRuntime(scratch + "/runtime");
    std::string app = scratch + "/app";
    makeFolder(app);
    makeFolder(app + "/lib");
    makeFolder(app + "/lib/startupcache");
    std::string jars = scratch + "/jars";
    makeFolder(jars);
    std::string jar = jars + "/" + unpackedJarName;
    writeJoinedJars(jar, request.image.archives, request.image.quiet);
    std::vector<partFolder> parts = {
        {"runtime", scratch + "/runtime"}, {"appdir", app}, {"jars", jars}};
    makeFolder(scratch + "/training");
    std::string trainee = scratch + "/training/" + name;
    std::vector<storedPart> stored =
        writeParts(trainee, request.image.launcher, parts, {jar}, configuration, true);
    // XDG_CACHE_HOME counts only when absolute.
    ownedString absolute(createCanonicalPath(scratch.c_str()));
    if (absolute == nullptr) {
        fail("Unable to resolve '" + scratch + "': " + strerror(errno));
    }
    std::string cache = std::string(absolute.get()) + "/cache";
    std::string shipped = cache + "/larkwin/unpacked/" + stored[1].digest + "/lib/startupcache";
    stringArray arguments;
    for (const std::string& argument : *request.image.training) {
        arguments.append(createStringCopy(argument.c_str()));
    }
    std::string runtime = scratch + "/runtime";
    trainLauncher(trainee.c_str(), arguments, cache.c_str(), shipped.c_str(), runtime.c_str(),
                  request.image.quiet);
    copyArchives(shipped, app + "/lib/startupcache");
    writeParts(request.output, request.image.launcher, parts, {jar}, configuration, true);
}
