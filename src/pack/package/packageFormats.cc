#include "pack/package/packageFormat.h"

#include "pack/base/failure.h"

#include <cstring>

// The formats larkwin-pack writes, one row each; each is defined in a file
// of its own.
extern const packageFormat debianFormat;
extern const packageFormat rpmFormat;

const packageFormat* const packageFormats[] = {
    &debianFormat,
    &rpmFormat,
    nullptr,
};

std::string joinFormatOptions(const char* lastJoin, std::vector<std::string> leading) {
    for (const packageFormat* const* format = packageFormats; *format != nullptr; format++) {
        leading.push_back((*format)->option);
    }
    return joinWords(leading, lastJoin);
}

std::vector<std::string> listPackageManagers() {
    std::vector<std::string> managers;
    for (const packageFormat* const* format = packageFormats; *format != nullptr; format++) {
        managers.push_back((*format)->packageManager);
    }
    return managers;
}

const char* findOwnOptionHelp(const char* option) {
    for (const packageFormat* const* format = packageFormats; *format != nullptr; format++) {
        for (const char* const* own = (*format)->ownOptions; own && *own; own += 2) {
            if (strcmp(*own, option) == 0) {
                return own[1];
            }
        }
    }
    return nullptr;
}
