#include "pack/base/ownedText.h"

#include "util/owned.h"

#include <cstring>

std::string takeString(char* owned) {
    ownedString text(owned);
    return text != nullptr ? std::string(text.get()) : std::string();
}

char* createOwnedCopy(const std::string& text) {
    char* copy = new char[text.size() + 1];
    memcpy(copy, text.data(), text.size());
    copy[text.size()] = 0;
    return copy;
}
