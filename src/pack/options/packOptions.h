#ifndef LARKWIN_PACK_OPTIONS_PACKOPTIONS_H
#define LARKWIN_PACK_OPTIONS_PACKOPTIONS_H

#include <optional>
#include <string>
#include <vector>

// What the command line of larkwin-pack says, option by option: each field
// is the slot of one row of the option table (optionTable.h); an option that
// was not given is false, empty or nullopt. optionParser.h fills it,
// optionChecks.h says whether it makes sense, and the requests
// (packRequests.h) are made from it.
struct packOptions {
    packOptions();

    bool help = false;
    bool version = false;
    bool noStartupCache = false;
    // --short-runs: "shortruns" joins "startupcache".
    bool shortRuns = false;
    std::optional<std::string> show;
    std::optional<std::string> output;
    std::optional<std::string> launcher;
    std::optional<std::string> config;
    std::optional<std::string> mainClass;
    // The application's jar first, then its dependencies.
    std::vector<std::string> archives;

    // Bundles of several jars.
    bool quiet = false;

    // App images: the directory, the bundle's name in its bin directory, and
    // where the runtime comes from ("auto" or a runtime's home).
    std::optional<std::string> appImage;
    std::optional<std::string> name;
    std::optional<std::string> runtime;
    std::optional<std::string> addModules;
    // Modules the linked runtime leaves out, whatever found or named them.
    std::optional<std::string> excludeModules;
    // The linked runtime keeps the JDK's debug information (line numbers
    // in stack traces).
    bool keepDebug = false;

    // --train -- ARGS: after the app image is made, its launcher runs once
    // with these arguments and makes the start-up archive the image ships.
    // dashes: "--" was given.
    bool train = false;
    bool dashes = false;
    std::vector<std::string> trainArguments;

    // The Java version the configuration made by --main-class requires.
    std::optional<std::string> javaVersion;

    // Packages: the directory that receives each format's package, in the
    // order of packageFormats (the packages use name too), and what the
    // packages say about the application.
    std::vector<std::optional<std::string>> packageDirectories;
    std::optional<std::string> appVersion;
    std::optional<std::string> description;
    std::optional<std::string> longDescription;
    std::optional<std::string> maintainer;
    std::optional<std::string> vendor;
    std::optional<std::string> homepage;
    std::optional<std::string> licenseFile;
    std::optional<std::string> license;
    std::optional<std::string> icon;
    std::optional<std::string> wmClass;
    std::optional<std::string> categories;
    std::optional<std::string> metainfo;
    // Each "EXTENSION,MIME-TYPE,DESCRIPTION".
    std::vector<std::string> fileTypes;
    std::vector<std::string> urlSchemes;

    // Files and folders copied into the image, each "SRC" or "SRC=DEST".
    std::vector<std::string> appContents;
    // Packages: whether a menu entry is forced (--menu-entry) or left out
    // (--no-menu-entry), and whether it runs in a terminal (--terminal).
    bool menuEntry = false;
    bool noMenuEntry = false;
    bool terminal = false;

    // Services: a systemd unit for the application (--service), run as a
    // named user instead of a dynamic one, of Type=notify, allowed to bind
    // ports below 1024.
    bool service = false;
    std::optional<std::string> serviceUser;
    bool serviceNotify = false;
    bool serviceLowPort = false;

    // Updates: the repository that each format's packages join, in the
    // order of packageFormats, the GnuPG key that signs them, the address
    // they are served at (which the packages subscribe to), and how many
    // versions stay.
    std::vector<std::optional<std::string>> repositoryDirectories;
    std::optional<std::string> signKey;
    std::optional<std::string> updateUrl;
    std::optional<std::string> keep;
    // A second key that also signs, whose public key ships too: a change of
    // keys in two publishes.
    std::optional<std::string> nextSignKey;

    // Whether a package was asked for.
    bool packages() const;
    // Whether -o asks for the one file that carries its runtime (--runtime).
    bool oneFile() const;
};

#endif
