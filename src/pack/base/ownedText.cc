#include "pack/base/ownedText.h"

#include "util/owned.h"

std::string takeString(char* owned) {
    ownedString text(owned);
    return text != nullptr ? std::string(text.get()) : std::string();
}
