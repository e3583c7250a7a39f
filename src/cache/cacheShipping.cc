// The archive that an app image ships: made by a training run in the image
// (LARKWIN_STARTUP_CACHE=ship, which larkwin-pack --train sets), and mapped
// read-only by the image's later starts whose key it matches.

#include "cache/cacheShipping.h"

#include "cache/cacheReport.h"
#include "cache/shippedArchive.h"
#include "unix/files.h"
#include "util/strings.h"
#include "vm/javaVm.h"

#include <cerrno>
#include <sys/stat.h>
#include <utility>

int cacheShipping::findImage(const javaVm& vm, const char* runtimeHome) {
    imageRoot.reset(vm.unpackedAppDirectory != nullptr
                        ? createOneFileRoot(vm.unpackedRoot, runtimeHome)
                        : createImageRoot(runtimeHome));
    if (imageRoot == nullptr) {
        return 0;
    }
    shippedDirectory.reset(vm.unpackedAppDirectory != nullptr
                               ? createShippedDirectory(vm.unpackedAppDirectory)
                               : createShippedDirectory(imageRoot.get()));
    return 1;
}

char* cacheShipping::createTrainingRefusal() {
    directory.reset(createStringCopy(shippedDirectory.get()));
    if (mkdir(directory.get(), 0755) != 0 && errno != EEXIST) {
        return createMessage("'%s' cannot be created", directory.get());
    }
    return nullptr;
}

static int isDirectory(const char* path) {
    struct stat status;
    return stat(path, &status) == 0 && S_ISDIR(status.st_mode);
}

// Says why an archive of the image is not used, when the image has any.
static void reportNotShipped(shippedState state, const char* shippedPath) {
    const char* reasons[] = {
        "none of the image's archives matches this start (not '%s'): another runtime, other "
        "VM options or VM shape, or an image moved on a runtime older than JDK 25",
        "",
        "not using the image's '%s': it is not of its record's size and checksum",
        "not using the image's '%s': neither root's nor the user's, or others may write to it "
        "or its directories",
        "not using the image's '%s': a JVM crashed on it",
        "not using the image's '%s': the user's cache directory takes no record of it, so a "
        "crash on it could not be noted"};
    ownedString parent(createParentPath(shippedPath));
    if (state != shippedMissing || isDirectory(parent.get())) {
        reportStartupCache(reasons[state], shippedPath);
    }
}

int cacheShipping::choose(char* shippedPath, char* seen) {
    ownedString path(shippedPath);
    seenPath.reset(seen);
    shippedState state = checkShippedArchive(path.get(), seenPath.get());
    if (state != shippedSound) {
        reportNotShipped(state, path.get());
        return 0;
    }
    reportStartupCache("using the image's '%s', which matches this start", path.get());
    archive = std::move(path);
    return 1;
}

void cacheShipping::refuse() {
    reportStartupCache(refuseShippedArchive(archive.get(), seenPath.get())
                           ? "no longer using the image's '%s': the JVM that mapped it crashed"
                           : "the JVM that mapped the image's '%s' crashed, and no note of it "
                             "could be kept",
                       archive.get());
}
