#include "pack/package/packageBaseArchive.h"

#include "pack/base/failure.h"
#include "pack/package/packageRequest.h"
#include "pack/repository/repositoryFiles.h"
#include "pack/zip/buildTime.h"
#include "runtime/runtimeRelease.h"
#include "unix/files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

// The first feature release whose dump was found to give the same bytes
// each time (Temurin 25.0.3); JDK 17's does not.
static const int firstDeterministicDump = 25;

static const char archivePath[] = "/runtime/lib/server/classes.jsa";

bool moveBaseArchiveToInstall(const packageRequest& request, const char* root) {
    if (!getSourceDateEpoch()) {
        return false;
    }
    std::string image = std::string(root) + "/opt/" + request.name;
    std::string archive = image + archivePath;
    int feature = runtimeRelease((image + "/runtime").c_str()).getFeatureVersion();
    if (feature >= firstDeterministicDump || !fileExists(archive)) {
        return false;
    }
    if (unlink(archive.c_str()) != 0) {
        failWithReason("Unable to remove", archive);
    }
    return true;
}

std::string createBaseArchiveScript(const packageRequest& request, baseArchiveStep step,
                                    const char* condition) {
    if (!request.baseArchiveAtInstall || step == baseArchiveKept) {
        return "";
    }
    // The name holds only lower-case letters, digits, '+', '-' and '.'.
    std::string image = "/opt/" + request.name;
    // A failed dump costs only speed: the runtime starts without it.
    std::string line = step == baseArchiveMade
                           ? image + "/runtime/bin/java -Xshare:dump >/dev/null 2>&1 || echo \"" +
                                 request.name +
                                 ": the Java runtime's class-data archive was not made; it starts "
                                 "slower\" >&2\n"
                           : "rm -f " + image + archivePath + "\n";
    return condition != nullptr ? std::string("if ") + condition + "; then\n    " + line + "fi\n"
                                : line;
}
