#include "pack/options/packOptions.h"

#include "pack/options/packRequests.h"
#include "pack/package/packageFields.h"
#include "pack/package/packageFormat.h"
#include "pack/package/packages.h"
#include "util/strings.h"

#include <cstdlib>
#include <cstring>
#include <string>

packOptions::packOptions()
    : help(0), version(0), noStartupCache(0), show(nullptr), output(nullptr), launcher(nullptr),
      config(nullptr), mainClass(nullptr), quiet(0), appImage(nullptr), name(nullptr),
      runtime(nullptr), addModules(nullptr), excludeModules(nullptr), keepDebug(0), train(0),
      dashes(0), javaVersion(nullptr), appVersion(nullptr), description(nullptr),
      longDescription(nullptr), maintainer(nullptr), vendor(nullptr), homepage(nullptr),
      licenseFile(nullptr), license(nullptr), icon(nullptr), wmClass(nullptr), categories(nullptr),
      metainfo(nullptr), menuEntry(0), noMenuEntry(0), terminal(0), service(0),
      serviceUser(nullptr), serviceNotify(0), serviceLowPort(0), signKey(nullptr),
      updateUrl(nullptr), keep(nullptr) {
    for (const packageFormat* const* format = packageFormats; *format != nullptr; format++) {
        packageDirectories.push_back(nullptr);
        repositoryDirectories.push_back(nullptr);
    }
}

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
    delete[] excludeModules;
    delete[] javaVersion;
    char** packageValues[] = {&appVersion, &description, &longDescription, &maintainer,
                              &vendor,     &homepage,    &licenseFile,     &license,
                              &icon,       &wmClass,     &categories,      &metainfo};
    for (char** value : packageValues) {
        delete[] * value;
    }
    for (char* directory : packageDirectories) {
        delete[] directory;
    }
    for (char* directory : repositoryDirectories) {
        delete[] directory;
    }
    delete[] signKey;
    delete[] updateUrl;
    delete[] keep;
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
    const char* names[] = {"--app-image",       "--name",        "--runtime", "--add-modules",
                           "--exclude-modules", "--service-user"};
    char** slots[] = {&options.appImage,   &options.name,           &options.runtime,
                      &options.addModules, &options.excludeModules, &options.serviceUser};
    return findSlot(name, names, slots, sizeof names / sizeof names[0]);
}

static const char* const packageNames[] = {
    "--app-version", "--description",  "--long-description", "--maintainer", "--vendor",
    "--homepage",    "--license-file", "--license",          "--icon",       "--wm-class",
    "--categories",  "--metainfo",     "--sign-key",         "--update-url", "--keep"};
static const int packageNameCount = sizeof packageNames / sizeof packageNames[0];

// The value slots of the packages' options, in the order of packageNames.
static void getPackageSlots(packOptions& options, char** slots[]) {
    char** all[] = {&options.appVersion,  &options.description, &options.longDescription,
                    &options.maintainer,  &options.vendor,      &options.homepage,
                    &options.licenseFile, &options.license,     &options.icon,
                    &options.wmClass,     &options.categories,  &options.metainfo,
                    &options.signKey,     &options.updateUrl,   &options.keep};
    for (int i = 0; i < packageNameCount; i++) {
        slots[i] = all[i];
    }
}

static char** packageValueSlot(packOptions& options, const char* name) {
    for (size_t i = 0; packageFormats[i] != nullptr; i++) {
        if (strcmp(name, packageFormats[i]->option) == 0) {
            return &options.packageDirectories[i];
        }
        const char* repositoryOption = packageFormats[i]->repositoryOption;
        if (repositoryOption != nullptr && strcmp(name, repositoryOption) == 0) {
            return &options.repositoryDirectories[i];
        }
    }
    char** slots[packageNameCount];
    getPackageSlots(options, slots);
    return findSlot(name, packageNames, slots, packageNameCount);
}

int packOptions::oneFile() const {
    return output != nullptr && runtime != nullptr && appImage == nullptr && !packages();
}

int packOptions::packages() const {
    for (const char* directory : packageDirectories) {
        if (directory != nullptr) {
            return 1;
        }
    }
    return 0;
}

// The message of an option that goes with the others given, such as
// "--service needs --app-image, --deb or --rpm".
char* createNeedsError(const char* option, std::vector<std::string> others) {
    std::string message = std::string(option) + " needs " + joinFormatOptions(" or ", others);
    return createStringCopy(message.c_str());
}

// The list of an option that may be given more than once.
static stringArray* repeatableList(packOptions& options, const char* name) {
    return strcmp(name, "--file-type") == 0     ? &options.fileTypes
           : strcmp(name, "--url-scheme") == 0  ? &options.urlSchemes
           : strcmp(name, "--app-content") == 0 ? &options.appContents
                                                : nullptr;
}

// The switch that an option without a value sets; null for any other.
static int* flagSlot(packOptions& options, const char* name) {
    static const char* const names[] = {"--help",
                                        "--version",
                                        "--quiet",
                                        "--no-startup-cache",
                                        "--service",
                                        "--service-notify",
                                        "--service-low-port",
                                        "--keep-debug",
                                        "--train",
                                        "--menu-entry",
                                        "--no-menu-entry",
                                        "--terminal"};
    int* const slots[] = {&options.help,           &options.version,     &options.quiet,
                          &options.noStartupCache, &options.service,     &options.serviceNotify,
                          &options.serviceLowPort, &options.keepDebug,   &options.train,
                          &options.menuEntry,      &options.noMenuEntry, &options.terminal};
    for (size_t i = 0; i < sizeof names / sizeof names[0]; i++) {
        if (strcmp(name, names[i]) == 0) {
            return slots[i];
        }
    }
    return nullptr;
}

char* packOptions::createUsageError(int argc, char** argv) {
    for (int i = 1; i < argc; i++) {
        const char* argument = argv[i];
        char** slot = valueSlot(*this, argument);
        if (slot == nullptr) {
            slot = imageValueSlot(*this, argument);
        }
        if (slot == nullptr) {
            slot = packageValueSlot(*this, argument);
        }
        if (strcmp(argument, "--") == 0) {
            // The rest are the training run's arguments, as they are.
            dashes = 1;
            for (i++; i < argc; i++) {
                trainArguments.append(createStringCopy(argv[i]));
            }
            break;
        }
        stringArray* list = repeatableList(*this, argument);
        if (list != nullptr) {
            if (i + 1 == argc) {
                return createMessage("%s needs a value", argument);
            }
            list->append(createStringCopy(argv[++i]));
            continue;
        }
        int* flag = flagSlot(*this, argument);
        if (flag != nullptr) {
            *flag = 1;
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
                    excludeModules == nullptr && javaVersion == nullptr && !noStartupCache &&
                    !keepDebug && packageOptionCount() == 0 && !service && serviceUser == nullptr &&
                    !serviceNotify && !serviceLowPort && !train && !dashes &&
                    appContents.size() == 0;
        return alone ? nullptr : createStringCopy("--show takes no other options");
    }
    if (output == nullptr && appImage == nullptr && !packages()) {
        return createStringCopy("-o OUTPUT is required");
    }
    if ((config == nullptr) == (mainClass == nullptr)) {
        return createStringCopy("give exactly one of --config and --main-class");
    }
    if (mainClass != nullptr && !isOneLine(mainClass)) {
        return createStringCopy("--main-class takes one line: a control character would end the "
                                "configuration's line, or the menu entry's");
    }
    if (noStartupCache && mainClass == nullptr) {
        return createStringCopy("--no-startup-cache goes with --main-class only");
    }
    if (archives.size() == 0) {
        return createStringCopy("no application archive given");
    }
    char* imageError = createImageMisuseError();
    if (imageError == nullptr) {
        imageError = createPackageMisuseError();
    }
    if (imageError != nullptr) {
        return imageError;
    }
    char* serviceError = createServiceMisuseError();
    if (serviceError == nullptr) {
        serviceError = createTrainingMisuseError();
    }
    if (serviceError == nullptr) {
        serviceError = createContentMisuseError();
    }
    return serviceError != nullptr ? serviceError : createJavaVersionError();
}

int packOptions::packageOptionCount() const {
    int count =
        fileTypes.size() + urlSchemes.size() + packages() + menuEntry + noMenuEntry + terminal;
    char** slots[packageNameCount];
    getPackageSlots(const_cast<packOptions&>(*this), slots);
    for (int i = 0; i < packageNameCount; i++) {
        count += *slots[i] != nullptr;
    }
    for (const char* directory : repositoryDirectories) {
        count += directory != nullptr;
    }
    return count;
}

// The first package option given, for the message that it needs a package.
static const char* firstPackageOption(const packOptions& options) {
    char** slots[packageNameCount];
    getPackageSlots(const_cast<packOptions&>(options), slots);
    for (int i = 0; i < packageNameCount; i++) {
        if (*slots[i] != nullptr) {
            return packageNames[i];
        }
    }
    for (size_t i = 0; packageFormats[i] != nullptr; i++) {
        if (options.repositoryDirectories[i] != nullptr) {
            return packageFormats[i]->repositoryOption;
        }
    }
    return options.fileTypes.size() > 0    ? "--file-type"
           : options.urlSchemes.size() > 0 ? "--url-scheme"
           : options.menuEntry             ? "--menu-entry"
           : options.noMenuEntry           ? "--no-menu-entry"
                                           : "--terminal";
}

char* packOptions::createPackageMisuseError() const {
    if (!packages()) {
        return packageOptionCount() == 0 ? nullptr
                                         : createNeedsError(firstPackageOption(*this), {});
    }
    if (output != nullptr || appImage != nullptr) {
        std::string message = "give " + joinFormatOptions(" and ") + " without -o and --app-image";
        return createStringCopy(message.c_str());
    }
    if (name == nullptr || !isPackageName(name)) {
        return createStringCopy("a package needs --name NAME: at least two lower-case letters, "
                                "digits, '+', '-' or '.', beginning with a letter or digit");
    }
    if (appVersion == nullptr || !isPackageVersion(appVersion)) {
        return createStringCopy("a package needs --app-version VERSION: a digit, then letters, "
                                "digits, '+', '.' or '~'");
    }
    if (description == nullptr || !isOneLine(description)) {
        return createStringCopy("a package needs --description TEXT, on one line");
    }
    std::string formatError = checkPackageFormats(createPackageRequest(*this));
    if (!formatError.empty()) {
        return createStringCopy(formatError.c_str());
    }
    char* repositoryError = createRepositoryMisuseError();
    return repositoryError != nullptr ? repositoryError : createPackageFieldError();
}

// The folder that every repository option names, or null; sets *one to
// false when they name several.
static const char* repositoryFolder(const packOptions& options, bool* one) {
    const char* folder = nullptr;
    *one = true;
    for (const char* directory : options.repositoryDirectories) {
        if (directory != nullptr && folder != nullptr && strcmp(directory, folder) != 0) {
            *one = false;
        }
        folder = directory != nullptr ? directory : folder;
    }
    return folder;
}

char* packOptions::createRepositoryMisuseError() const {
    for (size_t i = 0; packageFormats[i] != nullptr; i++) {
        if (repositoryDirectories[i] != nullptr && packageDirectories[i] == nullptr) {
            std::string message = std::string(packageFormats[i]->repositoryOption) + " needs " +
                                  packageFormats[i]->option;
            return createStringCopy(message.c_str());
        }
    }
    bool one = true;
    bool repository = repositoryFolder(*this, &one) != nullptr;
    const char* problem =
        repository && updateUrl == nullptr
            ? "a repository needs --update-url URL, where it is served"
        : updateUrl != nullptr && signKey == nullptr
            ? "--update-url needs --sign-key ID, the GnuPG key that signs the repository"
        : signKey != nullptr && updateUrl == nullptr
            ? "--sign-key needs --update-url URL, and a repository to sign"
        : keep != nullptr && !repository ? "--keep needs a repository"
        : !one ? "the repositories are served at one --update-url: give them one folder"
        : signKey != nullptr && !isOneLine(signKey) ? "--sign-key takes one line of text"
                                                    : nullptr;
    if (problem == nullptr && keep != nullptr) {
        bool digits = strspn(keep, "0123456789") == strlen(keep) && strlen(keep) <= 3;
        problem = digits && atoi(keep) >= 1 ? nullptr : "--keep takes a number from 1 to 999";
    }
    return problem != nullptr ? createStringCopy(problem) : nullptr;
}

static int endsWith(const char* text, const char* ending) {
    size_t length = strlen(text);
    size_t endingLength = strlen(ending);
    return length > endingLength && strcmp(text + length - endingLength, ending) == 0;
}

// Values that stand in a control file, an rpm build recipe or a desktop entry.
char* packOptions::createPackageFieldError() const {
    const char* lineNames[] = {"--long-description", "--maintainer", "--vendor",    "--homepage",
                               "--license",          "--wm-class",   "--categories"};
    const char* lines[] = {longDescription, maintainer, vendor,    homepage,
                           license,         wmClass,    categories};
    for (int i = 0; i < 7; i++) {
        if (lines[i] != nullptr && !isOneLine(lines[i])) {
            return createMessage("%s takes one line of text", lineNames[i]);
        }
    }
    // dpkg-gencontrol replaces "${NAME}" in every field of the control file
    // (${Newline} by a line feed) and knows no escape for it.
    const char* controlNames[] = {"--description", "--long-description", "--maintainer",
                                  "--homepage"};
    const char* controlValues[] = {description, longDescription, maintainer, homepage};
    for (int i = 0; i < 4; i++) {
        if (controlValues[i] != nullptr && strstr(controlValues[i], "${") != nullptr) {
            return createMessage("%s cannot hold '${': dpkg-gencontrol would replace it in the "
                                 "control file",
                                 controlNames[i]);
        }
    }
    // rpm's URL tag takes one token.
    if (homepage != nullptr && strpbrk(homepage, " \t") != nullptr) {
        return createStringCopy("--homepage takes a URL, which holds no blank");
    }
    const char* metainfoName = metainfo != nullptr ? strrchr(metainfo, '/') : nullptr;
    if (metainfo != nullptr && !isOneLine(metainfoName != nullptr ? metainfoName + 1 : metainfo)) {
        return createStringCopy("--metainfo's file name holds a control character, which the "
                                "packages' file lists cannot hold");
    }
    if (icon != nullptr && !endsWith(icon, ".png") && !endsWith(icon, ".svg")) {
        return createStringCopy("--icon takes a .png or an .svg file");
    }
    if (metainfo != nullptr && !endsWith(metainfo, ".metainfo.xml")) {
        return createStringCopy("--metainfo takes a file named ID.metainfo.xml");
    }
    for (int i = 0; i < fileTypes.size(); i++) {
        fileType type;
        char* error = parseFileType(fileTypes[i], &type);
        if (error != nullptr) {
            return error;
        }
    }
    for (int i = 0; i < urlSchemes.size(); i++) {
        if (!isUrlScheme(urlSchemes[i])) {
            return createMessage("--url-scheme '%s' is not a scheme such as myapp (a letter, "
                                 "then letters, digits, '+', '-' or '.')",
                                 urlSchemes[i]);
        }
    }
    return nullptr;
}
