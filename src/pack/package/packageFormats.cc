#include "pack/package/packageFormat.h"

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
    std::string joined;
    for (size_t i = 0; i < leading.size(); i++) {
        joined += (i == 0 ? "" : i + 1 == leading.size() ? lastJoin : ", ") + leading[i];
    }
    return joined;
}
