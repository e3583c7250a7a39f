#ifndef LARKWIN_PACK_PACKAGE_PACKAGEREQUEST_H
#define LARKWIN_PACK_PACKAGE_PACKAGEREQUEST_H

#include "pack/image/applicationDirectory.h"

#include <optional>
#include <string>
#include <vector>

struct packageFormat;

// One package asked for: its format and the directory that receives it.
struct packageOutput {
    const packageFormat* format;
    std::string directory;
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
    std::vector<packageOutput> outputs;
};

// The value, or null when it was not given.
inline const char* optionalText(const std::optional<std::string>& value) {
    return value ? value->c_str() : nullptr;
}

#endif
