#include "pack/package/packageTraining.h"

#include "cache/shippedArchive.h"
#include "pack/image/imageTraining.h"
#include "pack/options/packOptions.h"
#include "pack/package/stagingFiles.h"
#include "pack/tools/jdkTools.h"
#include "runtime/runtimeRelease.h"
#include "unix/files.h"
#include "util/stringArray.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

// The home of the runtime the image gets: the JDK that links it, or the
// one given.
static char* createTrainedRuntimeHome(const packOptions& options) {
    if (options.runtime == nullptr || strcmp(options.runtime, "auto") == 0) {
        return createJdkHome();
    }
    char* home = createCanonicalPath(options.runtime);
    return home != nullptr ? home : createStringCopy(options.runtime);
}

void checkPackageTraining(const packOptions& options) {
    if (!options.train) {
        return;
    }
    char* home = createTrainedRuntimeHome(options);
    int feature = runtimeRelease(home).getFeatureVersion();
    if (isMovableArchive(feature)) {
        delete[] home;
        return;
    }
    char version[32];
    snprintf(version, sizeof version, feature > 0 ? "of Java %d" : "of an unknown Java version",
             feature);
    char* where = createMessage("--train with --deb or --rpm needs a runtime of Java 25 or "
                                "later; the runtime in '%s' is ",
                                home);
    stringBuffer text;
    text.append(where);
    text.append(version);
    text.append(", whose start-up archive maps only from the directory it was trained in, so it "
                "would not map once the package is installed");
    delete[] where;
    char* message = text.createString();
    delete[] home;
    throw message;
}

static char* createImagePath(const packOptions& options, const char* root) {
    char* opt = joinPath(root, "opt");
    char* image = joinPath(opt, options.name);
    delete[] opt;
    return image;
}

static void clampFileTimes(const char* image, long epochSeconds) {
    stringArray files;
    findFiles(image, files, 0);
    for (int i = 0; i < files.size(); i++) {
        struct stat status;
        if (stat(files[i], &status) != 0) {
            throw createMessage("Unable to read '%s'", files[i]);
        }
        long seconds = status.st_mtim.tv_sec < epochSeconds ? status.st_mtim.tv_sec : epochSeconds;
        struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
        if (utimensat(AT_FDCWD, files[i], times, 0) != 0) {
            throw createMessage("Unable to set the time of '%s'", files[i]);
        }
    }
}

// Sets XDG_CONFIG_HOME back to the saved value (unset when null), which it
// deletes.
static void restoreConfigHome(char* saved) {
    if (saved != nullptr) {
        setenv("XDG_CONFIG_HOME", saved, 1);
    } else {
        unsetenv("XDG_CONFIG_HOME");
    }
    delete[] saved;
}

// The installed configuration ends by including the user's own settings
// for the application; those of whoever packs it have no place in the
// training run, so XDG_CONFIG_HOME names a directory that does not exist
// while it runs.
static void trainWithoutUserSettings(const packOptions& options, const char* root,
                                     const char* image) {
    const char* given = getenv("XDG_CONFIG_HOME");
    char* saved = given != nullptr ? createStringCopy(given) : nullptr;
    char* absent = joinPath(root, "no-user-settings");
    setenv("XDG_CONFIG_HOME", absent, 1);
    delete[] absent;
    try {
        trainAppImage(image, options.name, options.trainArguments, options.quiet);
    } catch (char*) {
        restoreConfigHome(saved);
        throw;
    }
    restoreConfigHome(saved);
}

void trainPackageImage(const packOptions& options, const char* root, long epochSeconds) {
    char* image = createImagePath(options, root);
    try {
        clampFileTimes(image, epochSeconds);
        trainWithoutUserSettings(options, root, image);
    } catch (char*) {
        delete[] image;
        throw;
    }
    delete[] image;
}

void sealShippedArchives(const packOptions& options, const char* root) {
    if (!options.train) {
        return;
    }
    char* image = createImagePath(options, root);
    char* shipped = createShippedDirectory(image);
    delete[] image;
    stringArray files;
    findFiles(shipped, files, 0);
    delete[] shipped;
    for (int i = 0; i < files.size(); i++) {
        size_t length = strlen(files[i]);
        if (length > 4 && strcmp(files[i] + length - 4, ".jsa") == 0) {
            chmod(files[i], 0444);
        }
    }
}
