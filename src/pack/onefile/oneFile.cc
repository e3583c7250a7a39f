#include "pack/onefile/oneFile.h"

#include "pack/base/failure.h"
#include "pack/base/reasonedFiles.h"
#include "pack/image/appContent.h"
#include "pack/image/directoryTree.h"
#include "pack/image/madeDirectories.h"
#include "pack/onefile/oneFileParts.h"
#include "pack/onefile/oneFileTraining.h"
#include "pack/zip/zipArchive.h"
#include "unix/files.h"
#include "unix/removalOnSignal.h"
#include "util/stringArray.h"
#include "util/strings.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <vector>

namespace {

// The folder where the runtime and the data are made, removed at the end.
class scratchFolder {
  public:
    explicit scratchFolder(const std::string& output) : path(output + ".XXXXXX") {
        if (!makeRegisteredDirectory(&path[0])) {
            fail("Unable to create '" + output + ".XXXXXX': " + strerror(errno));
        }
    }
    ~scratchFolder() {
        removeTree(path.c_str());
        unregisterRemoval(path.c_str());
    }
    scratchFolder(const scratchFolder&) = delete;
    scratchFolder& operator=(const scratchFolder&) = delete;
    std::string path;
};

std::string lastPart(const oneFileRequest& request) {
    if (request.image.name) {
        return *request.image.name;
    }
    size_t slash = request.output.rfind('/');
    return slash != std::string::npos ? request.output.substr(slash + 1) : request.output;
}

} // namespace

void writeOneFile(const oneFileRequest& request, const char* configuration) {
    // The jars and the data folders are checked before the slower runtime is
    // made.
    checkAppContents(request.image.contents, {request.output}, false);
    stringArray jars;
    for (const std::string& jar : request.image.archives) {
        zipArchive check(jar.c_str());
        jars.append(createStringCopy(jar.c_str()));
    }
    // Removed again, when empty, unless the one file is written.
    madeDirectories parents;
    parents.make(request.output, false);
    scratchFolder scratch(request.output);
    writeImageRuntime(request.image, jars, scratch.path, scratch.path + "/runtime");
    bool hasData = !request.image.contents.empty();
    if (hasData) {
        std::string app = scratch.path + "/app";
        if (mkdir(app.c_str(), 0755) != 0) {
            fail("Unable to create '" + app + "': " + strerror(errno));
        }
        copyAppContents(request.image.contents, app, lastPart(request), false);
    }
    if (request.image.training) {
        writeTrainedOneFile(request, scratch.path, lastPart(request), configuration);
    } else {
        std::vector<partFolder> parts = {{"runtime", scratch.path + "/runtime"}};
        if (hasData) {
            parts.push_back({"appdir", scratch.path + "/app"});
        }
        writeParts(request.output, request.image.launcher, parts, request.image.archives,
                   configuration, request.image.quiet);
    }
    parents.keep();
    if (!request.image.quiet) {
        std::string output = request.output;
        printf("larkwin-pack: wrote the one file '%s': %.1f MB (runtime %.1f MB unpacked)\n",
               output.c_str(), (double)packGetFileSize(&output[0]) / 1e6,
               (double)getTreeSize((scratch.path + "/runtime").c_str()) / 1e6);
    }
}
