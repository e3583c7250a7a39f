#ifndef LARKWIN_PACK_OPTIONS_PACKOPTIONS_H
#define LARKWIN_PACK_OPTIONS_PACKOPTIONS_H

#include "util/stringArray.h"

#include <string>
#include <vector>

// What the command line of larkwin-pack asks for. Every string is the
// object's own; an option that was not given is null.
class packOptions {
  public:
    packOptions();
    ~packOptions();
    packOptions(const packOptions&) = delete;
    packOptions& operator=(const packOptions&) = delete;

    // Null when the command line makes sense, otherwise an owned message
    // saying what is wrong with it.
    char* createUsageError(int argc, char** argv);

    int help;
    int version;
    int noStartupCache;
    char* show;
    char* output;
    char* launcher;
    char* config;
    char* mainClass;
    // The application's jar first, then its dependencies.
    stringArray archives;

    // Bundles of several jars.
    int quiet;

    // App images: the directory, the bundle's name in its bin directory, and
    // where the runtime comes from ("auto" or a runtime's home).
    char* appImage;
    char* name;
    char* runtime;
    char* addModules;
    // Modules the linked runtime leaves out, whatever found or named them.
    char* excludeModules;
    // The linked runtime keeps the JDK's debug information (line numbers
    // in stack traces).
    int keepDebug;

    // --train -- ARGS: after the app image is made, its launcher runs once
    // with these arguments and makes the start-up archive the image ships.
    // dashes: "--" was given.
    int train;
    int dashes;
    stringArray trainArguments;

    // The Java version the configuration made by --main-class requires.
    char* javaVersion;

    // Packages: the directory that receives each format's package, in the
    // order of packageFormats (null when its option was not given; the
    // packages use name too), and what the packages say about the
    // application.
    std::vector<char*> packageDirectories;
    char* appVersion;
    char* description;
    char* longDescription;
    char* maintainer;
    char* vendor;
    char* homepage;
    char* licenseFile;
    char* license;
    char* icon;
    char* wmClass;
    char* categories;
    char* metainfo;
    // Each "EXTENSION,MIME-TYPE,DESCRIPTION".
    stringArray fileTypes;
    stringArray urlSchemes;

    // Files and folders copied into the image, each "SRC" or "SRC=DEST".
    stringArray appContents;
    // Packages: whether a menu entry is forced (--menu-entry) or left out
    // (--no-menu-entry), and whether it runs in a terminal (--terminal).
    int menuEntry;
    int noMenuEntry;
    int terminal;

    // Services: a systemd unit for the application (--service), run as a
    // named user instead of a dynamic one, of Type=notify, allowed to bind
    // ports below 1024.
    int service;
    char* serviceUser;
    int serviceNotify;
    int serviceLowPort;

    // Updates: the repository that each format's packages join, in the
    // order of packageFormats (null when its option was not given), the
    // GnuPG key that signs them, the address they are served at (which
    // the packages subscribe to), and how many versions stay.
    std::vector<char*> repositoryDirectories;
    char* signKey;
    char* updateUrl;
    char* keep;

    // Whether a package was asked for.
    int packages() const;
    // Whether -o asks for the one file that carries its runtime (--runtime).
    int oneFile() const;

  private:
    char* createMisuseError() const;
    char* createImageMisuseError() const;
    char* createJavaVersionError() const;
    char* createPackageMisuseError() const;
    char* createPackageFieldError() const;
    int packageOptionCount() const;
    char* createServiceMisuseError() const;
    char* createRepositoryMisuseError() const;
    char* createTrainingMisuseError() const;
    char* createContentMisuseError() const;
};

// The message of an option that goes with the others given, such as
// "--service needs --app-image, --deb or --rpm". Owned.
char* createNeedsError(const char* option, std::vector<std::string> others);

#endif
