// The archive that an app image ships: made by a training run in the image
// (LARKWIN_STARTUP_CACHE=ship, which larkwin-pack --train sets), and mapped
// read-only by the image's later starts whose key it matches.

#include "cache/shippedArchive.h"
#include "cache/startupCache.h"
#include "unix/files.h"
#include "util/owned.h"
#include "util/strings.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

// The archive is made in the image, the way a start makes one in the
// user's cache, and the launcher waits for it.
char* startupCache::prepareTraining(const javaVm& vm, javaRuntime& runtime, const char* shape) {
    imageRoot = createImageRoot(runtime.getHome());
    if (imageRoot == nullptr) {
        return createStringCopy("the runtime is not the one of the launcher's app image");
    }
    trainingDirectory = createShippedDirectory(imageRoot);
    if (mkdir(trainingDirectory, 0755) != 0 && errno != EEXIST) {
        return createMessage("'%s' cannot be created", trainingDirectory);
    }
    directory = trainingDirectory;
    setArchive(createShippedPath(vm, runtime, shape));
    keepRuntime(vm, runtime);
    keepDumpCommand(vm, runtime);
    removeArchive();
    prepareRecording();
    return nullptr;
}

// Every user of the image may map it; no one but its owner may change it.
void startupCache::publishShippedArchive() {
    unlink(lockPath);
    chmod(archive, 0444);
    chmod(recordPath, 0644);
}

void startupCache::mapShippedArchive(char* shippedPath) {
    reportStartupCache("using the image's '%s', which matches this start", shippedPath);
    options.append(createStringCopy(getQuietLogOption(featureVersion)));
    options.append(createString("-XX:SharedArchiveFile=", shippedPath));
    delete[] archive;
    archive = shippedPath;
    mapping = 1;
    shipped = 1;
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
        "", "not using the image's '%s': it is not of its record's size and checksum",
        "not using the image's '%s': neither root's nor the user's, or others may write to it "
        "or its directories",
        "not using the image's '%s': a JVM crashed on it"};
    ownedString directory(createParentPath(shippedPath));
    if (state != shippedMissing || isDirectory(directory.get())) {
        reportStartupCache(reasons[state], shippedPath);
    }
}

// After the user's archive is named, whose record of the image's archive
// sits beside it.
int startupCache::useShippedArchive(const javaVm& vm, javaRuntime& runtime, const char* shape) {
    imageRoot = createImageRoot(runtime.getHome());
    if (imageRoot == nullptr) {
        return 0;
    }
    ownedString shippedPath(createShippedPath(vm, runtime, shape));
    seenPath = createString(archive, ".shipped");
    shippedState state = checkShippedArchive(shippedPath.get(), seenPath);
    if (state == shippedSound) {
        mapShippedArchive(shippedPath.release());
        return 1;
    }
    reportNotShipped(state, shippedPath.get());
    return 0;
}
