#include "pack/package/packageTraining.h"

#include "cache/shippedArchive.h"
#include "pack/base/failure.h"
#include "pack/image/imageTraining.h"
#include "pack/package/packageFormat.h"
#include "pack/package/packageRequest.h"
#include "pack/package/stagingFiles.h"
#include "pack/tools/jdkTools.h"
#include "runtime/runtimeRelease.h"
#include "unix/files.h"
#include "util/owned.h"
#include "util/stringArray.h"
#include "util/strings.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>

// The home of the runtime the image gets: the JDK that links it, or the
// one given.
static std::string trainedRuntimeHome(const imageRequest& image) {
    if (!image.runtime || *image.runtime == "auto") {
        return ownedString(createJdkHome()).get();
    }
    ownedString home(createCanonicalPath(image.runtime->c_str()));
    return home != nullptr ? home.get() : *image.runtime;
}

void checkPackageTraining(const packageRequest& request) {
    if (!request.image.training) {
        return;
    }
    std::string home = trainedRuntimeHome(request.image);
    int feature = runtimeRelease(home.c_str()).getFeatureVersion();
    if (isMovableArchive(feature)) {
        return;
    }
    std::string version =
        feature > 0 ? "of Java " + std::to_string(feature) : "of an unknown Java version";
    std::string message = "--train with " + joinFormatOptions(" or ") +
                          " needs a runtime of Java 25 or later; the runtime in '" + home +
                          "' is " + version +
                          ", whose start-up archive maps only from the directory it was trained "
                          "in, so it would not map once the package is installed";
    throw createStringCopy(message.c_str());
}

static std::string imagePath(const packageRequest& request, const char* root) {
    return std::string(root) + "/opt/" + request.name;
}

static void clampFileTimes(const std::string& image, long epochSeconds) {
    stringArray files;
    findFiles(image.c_str(), files, 0);
    for (int i = 0; i < files.size(); i++) {
        struct stat status;
        if (stat(files[i], &status) != 0) {
            failWithReason("Unable to read", files[i]);
        }
        long seconds = status.st_mtim.tv_sec < epochSeconds ? status.st_mtim.tv_sec : epochSeconds;
        struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
        if (utimensat(AT_FDCWD, files[i], times, 0) != 0) {
            failWithReason("Unable to set the time of", files[i]);
        }
    }
}

// Names a directory that does not exist in XDG_CONFIG_HOME while it lives,
// then sets it back (unset when it was).
class configHomeAbsent {
  public:
    explicit configHomeAbsent(const std::string& absent) {
        const char* given = getenv("XDG_CONFIG_HOME");
        if (given != nullptr) {
            saved = given;
        }
        setenv("XDG_CONFIG_HOME", absent.c_str(), 1);
    }
    ~configHomeAbsent() {
        if (saved) {
            setenv("XDG_CONFIG_HOME", saved->c_str(), 1);
        } else {
            unsetenv("XDG_CONFIG_HOME");
        }
    }
    configHomeAbsent(const configHomeAbsent&) = delete;
    configHomeAbsent& operator=(const configHomeAbsent&) = delete;

  private:
    std::optional<std::string> saved;
};

// The installed configuration ends by including the user's own settings
// for the application; those of whoever packs it have no place in the
// training run, so XDG_CONFIG_HOME names a directory that does not exist
// while it runs.
static void trainWithoutUserSettings(const packageRequest& request, const char* root,
                                     const std::string& image) {
    stringArray arguments;
    for (const std::string& argument : *request.image.training) {
        arguments.append(createStringCopy(argument.c_str()));
    }
    configHomeAbsent absent(std::string(root) + "/no-user-settings");
    trainApplicationDirectory(image.c_str(), request.name.c_str(), arguments, request.image.quiet);
}

void trainPackageImage(const packageRequest& request, const char* root, long epochSeconds) {
    std::string image = imagePath(request, root);
    clampFileTimes(image, epochSeconds);
    trainWithoutUserSettings(request, root, image);
}

void sealShippedArchives(const packageRequest& request, const char* root) {
    if (!request.image.training) {
        return;
    }
    ownedString shipped(createShippedDirectory(imagePath(request, root).c_str()));
    stringArray files;
    findFiles(shipped.get(), files, 0);
    for (int i = 0; i < files.size(); i++) {
        size_t length = strlen(files[i]);
        if (length > 4 && strcmp(files[i] + length - 4, ".jsa") == 0) {
            chmod(files[i], 0444);
        }
    }
}
