#include "pack/options/optionValues.h"

#include "pack/image/appContent.h"
#include "pack/package/packageFields.h"
#include "runtime/versionRequirement.h"
#include "util/owned.h"
#include "util/strings.h"

#include <cstring>

// A message made by createMessage, as a string.
static std::string message(char* made) {
    ownedString owned(made);
    return owned.get();
}

std::string checkOneLine(const char* name, const std::string& value) {
    return isOneLine(value.c_str()) ? ""
                                    : message(createMessage("%s takes one line of text", name));
}

std::string checkMainClass(const char*, const std::string& value) {
    return isOneLine(value.c_str()) ? ""
                                    : "--main-class takes one line: a control character would end "
                                      "the configuration's line, or the menu entry's";
}

std::string checkJavaVersion(const char* name, const std::string& value) {
    versionRequirement requirement;
    if (parseVersionRequirement(value.c_str(), &requirement)) {
        return "";
    }
    return message(createMessage("%s '%s' is not a feature release such as 17 or a range such "
                                 "as 11-17",
                                 name, value.c_str()));
}

std::string checkFileName(const char* name, const std::string& value) {
    bool fit =
        !value.empty() && value.find('/') == std::string::npos && value != "." && value != "..";
    return fit ? "" : message(createMessage("%s takes a file name, without '/'", name));
}

std::string checkAppContent(const char*, const std::string& value) {
    appContent content;
    return parseAppContent(value, &content);
}

static bool endsWith(const std::string& text, const char* ending) {
    size_t length = strlen(ending);
    return text.size() > length && text.compare(text.size() - length, length, ending) == 0;
}

std::string checkIcon(const char* name, const std::string& value) {
    bool fit = endsWith(value, ".png") || endsWith(value, ".svg");
    return fit ? "" : message(createMessage("%s takes a .png or an .svg file", name));
}

std::string checkMetainfo(const char* name, const std::string& value) {
    size_t slash = value.rfind('/');
    std::string fileName = slash == std::string::npos ? value : value.substr(slash + 1);
    if (!isOneLine(fileName.c_str())) {
        return message(createMessage("%s's file name holds a control character, which the "
                                     "packages' file lists cannot hold",
                                     name));
    }
    return endsWith(value, ".metainfo.xml")
               ? ""
               : message(createMessage("%s takes a file named ID.metainfo.xml", name));
}

std::string checkFileType(const char*, const std::string& value) {
    fileType type;
    char* error = parseFileType(value.c_str(), &type);
    return error != nullptr ? message(error) : "";
}

std::string checkUrlScheme(const char* name, const std::string& value) {
    if (isUrlScheme(value.c_str())) {
        return "";
    }
    return message(createMessage("%s '%s' is not a scheme such as myapp (a letter, then letters, "
                                 "digits, '+', '-' or '.')",
                                 name, value.c_str()));
}

// From 1 to 999.
std::string checkKeep(const char* name, const std::string& value) {
    bool digits = !value.empty() && value.size() <= 3 &&
                  value.find_first_not_of("0123456789") == std::string::npos;
    bool fit = digits && value.find_first_not_of('0') != std::string::npos;
    return fit ? "" : message(createMessage("%s takes a number from 1 to 999", name));
}

// java.base cannot be left out: every other module needs it.
std::string checkExcludedModules(const char*, const std::string& value) {
    std::string list = "," + value + ",";
    return list.find(",java.base,") == std::string::npos
               ? ""
               : "--exclude-modules cannot leave out java.base: every runtime holds it, and every "
                 "other module needs it";
}
