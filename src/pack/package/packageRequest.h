#ifndef LARKWIN_PACK_PACKAGE_PACKAGEREQUEST_H
#define LARKWIN_PACK_PACKAGE_PACKAGEREQUEST_H

#include "pack/image/applicationDirectory.h"

#include <optional>
#include <string>
#include <vector>

struct packageFormat;

// One package asked for: its format, the directory that receives it, and
// the repository it joins (empty: none).
struct packageOutput {
    const packageFormat* format;
    std::string directory;
    std::string repository;
};

// Updates: the packages subscribe to the repository served at url, and
// join their formats' repositories, signed by the GnuPG key signingKey;
// keep versions of each stay.
struct updatesRequest {
    std::string url;
    std::string signingKey;
    int keep = 3;
    // While the repositories change keys, the key that signs them too.
    std::string nextSigningKey;
};

// What the packages say about the application and what they hold. image
// is the application directory that they install under /opt/NAME (its
// directory is the staging tree's, and name is NAME); its service and
// training are the package's own, made for the installed paths. Fields
// that were not given are empty.
struct packageRequest {
    imageRequest image;
    std::string name;
    std::string version;
    std::string description;
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
    // --main-class, whose windows the menu entry names.
    std::optional<std::string> mainClass;
    // Each "EXTENSION,MIME-TYPE,DESCRIPTION".
    std::vector<std::string> fileTypes;
    std::vector<std::string> urlSchemes;
    // --menu-entry (true) or --no-menu-entry (false); else a menu entry
    // when something a desktop shows was asked for.
    std::optional<bool> menuEntry;
    // The menu entry starts the application in a terminal.
    bool terminal = false;
    std::vector<packageOutput> outputs;
    std::optional<updatesRequest> updates;
    // Set while the packages are built: their scripts make the runtime's
    // base archive once installed (see packageBaseArchive.h).
    bool baseArchiveAtInstall = false;
};

// The value, or null when it was not given.
inline const char* optionalText(const std::optional<std::string>& value) {
    return value ? value->c_str() : nullptr;
}

#endif
