#include "pack/options/packOptions.h"

#include "pack/package/packageFormat.h"

packOptions::packOptions() {
    for (const packageFormat* const* format = packageFormats; *format != nullptr; format++) {
        packageDirectories.emplace_back();
        repositoryDirectories.emplace_back();
    }
}

bool packOptions::packages() const {
    for (const std::optional<std::string>& directory : packageDirectories) {
        if (directory.has_value()) {
            return true;
        }
    }
    return false;
}

bool packOptions::oneFile() const {
    return output.has_value() && runtime.has_value() && !appImage.has_value() && !packages();
}
