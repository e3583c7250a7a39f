#include "pack/options/packOptions.h"
#include "runtime/versionRequirement.h"
#include "util/strings.h"

#include <cstring>
#include <string>

// What the image's options (training, service, naming, runtime) and the
// bundle's --java-version need of the others.

// The image's own launcher is run, and its start-up cache makes the archive.
char* packOptions::createTrainingMisuseError() const {
    if (!train) {
        return dashes ? createStringCopy("-- ARGS goes with --train") : nullptr;
    }
    if (appImage == nullptr && !packages()) {
        return createNeedsError("--train", {"--app-image"});
    }
    return noStartupCache ? createStringCopy("--train needs the start-up cache; leave out "
                                             "--no-startup-cache")
                          : nullptr;
}

// A unit names the launcher by its installed path, which only an app image
// or a package has.
char* packOptions::createServiceMisuseError() const {
    if (!service) {
        const char* serviceOnly = serviceUser != nullptr ? "--service-user"
                                  : serviceNotify        ? "--service-notify"
                                  : serviceLowPort       ? "--service-low-port"
                                                         : nullptr;
        return serviceOnly != nullptr ? createMessage("%s needs --service", serviceOnly) : nullptr;
    }
    int installed = appImage != nullptr || packages();
    return installed ? nullptr : createNeedsError("--service", {"--app-image"});
}

static int isFileName(const char* name) {
    return name[0] != 0 && strchr(name, '/') == nullptr && strcmp(name, ".") != 0 &&
           strcmp(name, "..") != 0;
}

// Whether the comma-separated list names java.base.
static bool namesJavaBase(const char* list) {
    std::string text = std::string(",") + list + ",";
    return text.find(",java.base,") != std::string::npos;
}

// A package holds an app image: the image's options serve it too.
char* packOptions::createImageMisuseError() const {
    if (appImage == nullptr && !packages()) {
        const char* imageOnly = name != nullptr             ? "--name"
                                : runtime != nullptr        ? "--runtime"
                                : addModules != nullptr     ? "--add-modules"
                                : excludeModules != nullptr ? "--exclude-modules"
                                : keepDebug                 ? "--keep-debug"
                                                            : nullptr;
        return imageOnly != nullptr ? createMessage("%s needs --app-image", imageOnly) : nullptr;
    }
    if (output != nullptr && !packages()) {
        return createStringCopy("give either -o or --app-image, not both");
    }
    if (name != nullptr && !isFileName(name)) {
        return createStringCopy("--name takes a file name, without '/'");
    }
    if (addModules != nullptr && runtime != nullptr && strcmp(runtime, "auto") != 0) {
        return createStringCopy("--add-modules needs --runtime auto");
    }
    if (excludeModules != nullptr && runtime != nullptr && strcmp(runtime, "auto") != 0) {
        return createStringCopy("--exclude-modules needs --runtime auto");
    }
    if (excludeModules != nullptr && namesJavaBase(excludeModules)) {
        return createStringCopy("--exclude-modules cannot leave out java.base: every runtime "
                                "holds it, and every other module needs it");
    }
    if (keepDebug && runtime != nullptr && strcmp(runtime, "auto") != 0) {
        return createStringCopy("--keep-debug needs --runtime auto");
    }
    return nullptr;
}

// The launcher would refuse the bundle's configuration at every start.
char* packOptions::createJavaVersionError() const {
    if (javaVersion == nullptr) {
        return nullptr;
    }
    if (mainClass == nullptr) {
        return createStringCopy(
            "--java-version goes with --main-class; write javaversion in the --config file");
    }
    versionRequirement requirement;
    if (!parseVersionRequirement(javaVersion, &requirement)) {
        return createMessage("--java-version '%s' is not a feature release such as 17 or a range "
                             "such as 11-17",
                             javaVersion);
    }
    return nullptr;
}
