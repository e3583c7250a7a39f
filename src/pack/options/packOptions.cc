#include "pack/options/packOptions.h"

#include "runtime/versionRequirement.h"
#include "util/strings.h"

#include <cstring>

packOptions::packOptions()
    : help(0), version(0), noStartupCache(0), show(nullptr), output(nullptr), launcher(nullptr),
      config(nullptr), mainClass(nullptr), quiet(0), appImage(nullptr), name(nullptr),
      runtime(nullptr), addModules(nullptr), keepDebug(0), javaVersion(nullptr), service(0),
      serviceUser(nullptr), serviceNotify(0), serviceLowPort(0) {}

packOptions::~packOptions() {
    delete[] show;
    delete[] output;
    delete[] launcher;
    delete[] config;
    delete[] mainClass;
    delete[] appImage;
    delete[] name;
    delete[] runtime;
    delete[] addModules;
    delete[] javaVersion;
    delete[] serviceUser;
}

static char** findSlot(const char* name, const char* const* names, char** const* slots,
                       size_t count) {
    for (size_t i = 0; i < count; i++) {
        if (strcmp(name, names[i]) == 0) {
            return slots[i];
        }
    }
    return nullptr;
}

// The option's value slot, or null when name takes no value.
static char** valueSlot(packOptions& options, const char* name) {
    const char* names[] = {"-o",           "--launcher", "--config",
                           "--main-class", "--show",     "--java-version"};
    char** slots[] = {&options.output,    &options.launcher, &options.config,
                      &options.mainClass, &options.show,     &options.javaVersion};
    return findSlot(name, names, slots, sizeof names / sizeof names[0]);
}

// The value slots of the app image's options.
static char** imageValueSlot(packOptions& options, const char* name) {
    const char* names[] = {"--app-image", "--name", "--runtime", "--add-modules", "--service-user"};
    char** slots[] = {&options.appImage, &options.name, &options.runtime, &options.addModules,
                      &options.serviceUser};
    return findSlot(name, names, slots, sizeof names / sizeof names[0]);
}

char* packOptions::createUsageError(int argc, char** argv) {
    for (int i = 1; i < argc; i++) {
        const char* argument = argv[i];
        char** slot = valueSlot(*this, argument);
        if (slot == nullptr) {
            slot = imageValueSlot(*this, argument);
        }
        if (strcmp(argument, "--help") == 0) {
            help = 1;
        } else if (strcmp(argument, "--version") == 0) {
            version = 1;
        } else if (strcmp(argument, "--quiet") == 0) {
            quiet = 1;
        } else if (strcmp(argument, "--no-startup-cache") == 0) {
            noStartupCache = 1;
        } else if (strcmp(argument, "--service") == 0) {
            service = 1;
        } else if (strcmp(argument, "--service-notify") == 0) {
            serviceNotify = 1;
        } else if (strcmp(argument, "--service-low-port") == 0) {
            serviceLowPort = 1;
        } else if (strcmp(argument, "--keep-debug") == 0) {
            keepDebug = 1;
        } else if (slot != nullptr && i + 1 == argc) {
            return createMessage("%s needs a value", argument);
        } else if (slot != nullptr && *slot != nullptr) {
            return createMessage("%s is given more than once", argument);
        } else if (slot != nullptr) {
            *slot = createStringCopy(argv[++i]);
        } else if (argument[0] == '-' && argument[1] != 0) {
            return createMessage("unknown option '%s'", argument);
        } else {
            archives.append(createStringCopy(argument));
        }
    }
    return help || version ? nullptr : createMisuseError();
}

char* packOptions::createMisuseError() const {
    if (show != nullptr) {
        int alone = output == nullptr && launcher == nullptr && config == nullptr &&
                    mainClass == nullptr && archives.size() == 0 && !quiet && appImage == nullptr &&
                    name == nullptr && runtime == nullptr && addModules == nullptr &&
                    javaVersion == nullptr && !noStartupCache && !keepDebug && !service &&
                    serviceUser == nullptr && !serviceNotify && !serviceLowPort;
        return alone ? nullptr : createStringCopy("--show takes no other options");
    }
    if (output == nullptr && appImage == nullptr) {
        return createStringCopy("-o OUTPUT is required");
    }
    if ((config == nullptr) == (mainClass == nullptr)) {
        return createStringCopy("give exactly one of --config and --main-class");
    }
    if (noStartupCache && mainClass == nullptr) {
        return createStringCopy("--no-startup-cache goes with --main-class only");
    }
    if (archives.size() == 0) {
        return createStringCopy("no application archive given");
    }
    char* imageError = createImageMisuseError();
    if (imageError != nullptr) {
        return imageError;
    }
    char* serviceError = createServiceMisuseError();
    return serviceError != nullptr ? serviceError : createJavaVersionError();
}

// A unit names the launcher by its installed path, which only an app image
// (or a package) has.
char* packOptions::createServiceMisuseError() const {
    if (!service) {
        const char* serviceOnly = serviceUser != nullptr ? "--service-user"
                                  : serviceNotify        ? "--service-notify"
                                  : serviceLowPort       ? "--service-low-port"
                                                         : nullptr;
        return serviceOnly != nullptr ? createMessage("%s needs --service", serviceOnly) : nullptr;
    }
    return appImage == nullptr ? createStringCopy("--service needs --app-image") : nullptr;
}

static int isFileName(const char* name) {
    return name[0] != 0 && strchr(name, '/') == nullptr && strcmp(name, ".") != 0 &&
           strcmp(name, "..") != 0;
}

char* packOptions::createImageMisuseError() const {
    if (appImage == nullptr) {
        const char* imageOnly = name != nullptr         ? "--name"
                                : runtime != nullptr    ? "--runtime"
                                : addModules != nullptr ? "--add-modules"
                                : keepDebug             ? "--keep-debug"
                                                        : nullptr;
        return imageOnly != nullptr ? createMessage("%s needs --app-image", imageOnly) : nullptr;
    }
    if (output != nullptr) {
        return createStringCopy("give either -o or --app-image, not both");
    }
    if (name != nullptr && !isFileName(name)) {
        return createStringCopy("--name takes a file name, without '/'");
    }
    if (addModules != nullptr && runtime != nullptr && strcmp(runtime, "auto") != 0) {
        return createStringCopy("--add-modules needs --runtime auto");
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
