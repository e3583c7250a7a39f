#include "pack/onefile/oneFile.h"

#include "pack/base/failure.h"
#include "pack/base/reasonedFiles.h"
#include "pack/image/appContent.h"
#include "pack/image/directoryTree.h"
#include "pack/image/madeDirectories.h"
#include "pack/onefile/storedTree.h"
#include "pack/zip/zipArchive.h"
#include "pack/zip/zipMerge.h"
#include "unix/files.h"
#include "unix/removalOnSignal.h"
#include "util/stringArray.h"
#include "util/strings.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
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

std::string unpackLine(const char* kind, const storedPart& part) {
    return std::string("unpack ") + kind + " " + part.digest + " " + std::to_string(part.offset) +
           " " + std::to_string(part.length) + "\n";
}

// The jars as a bundle holds them: one copied whole, several merged.
void appendJars(packOutputFile& out, long shift, const std::vector<std::string>& jars,
                const std::string& configuration, bool quiet) {
    std::vector<std::unique_ptr<zipArchive>> owners;
    std::vector<zipArchive*> opened;
    for (const std::string& jar : jars) {
        owners.emplace_back(new zipArchive(jar.c_str()));
        opened.push_back(owners.back().get());
    }
    if (opened.size() == 1) {
        opened[0]->writeShifted(out, shift, configuration.c_str());
        return;
    }
    stringArray dropped;
    stringArray notes;
    zipMerge merge(opened.data(), (int)opened.size(), &dropped, &notes, bundleLimits);
    merge.write(out, shift, configuration.c_str());
    for (int i = 0; i < dropped.size() && !quiet; i++) {
        fprintf(stderr, "larkwin-pack: %s\n", dropped[i]);
    }
    for (int i = 0; i < notes.size(); i++) {
        fprintf(stderr, "larkwin-pack: %s\n", notes[i]);
    }
}

std::string withLineEnd(const char* text) {
    std::string line = text;
    if (!line.empty() && line.back() != '\n') {
        line += '\n';
    }
    return line;
}

void writeParts(const oneFileRequest& request, const std::string& scratch, bool hasData,
                const char* configuration) {
    std::string launcher = request.image.launcher;
    long launcherSize = packGetFileSize(&launcher[0]);
    packOutputFile out(request.output.c_str());
    out.appendFileRange(launcher.c_str(), 0, launcherSize);
    storedPart runtime = appendStoredTree(out, launcherSize, scratch + "/runtime");
    std::string text = withLineEnd(configuration) + unpackLine("runtime", runtime);
    long shift = runtime.offset + runtime.length;
    if (hasData) {
        storedPart data = appendStoredTree(out, shift, scratch + "/app");
        text = unpackLine("appdir", data) + text;
        shift = data.offset + data.length;
    }
    if (text.size() > 65535) {
        fail("the configuration is longer than 65535 bytes");
    }
    appendJars(out, shift, request.image.archives, text, request.image.quiet);
    out.commit(0755);
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
    writeParts(request, scratch.path, hasData, configuration);
    parents.keep();
    if (!request.image.quiet) {
        std::string output = request.output;
        printf("larkwin-pack: wrote the one file '%s': %.1f MB (runtime %.1f MB unpacked)\n",
               output.c_str(), (double)packGetFileSize(&output[0]) / 1e6,
               (double)getTreeSize((scratch.path + "/runtime").c_str()) / 1e6);
    }
}
