#include "pack/base/ownedText.h"

#include "util/owned.h"

#include <cstring>

std::string takeString(char* owned) {
    ownedString text(owned);
    return text != nullptr ? std::string(text.get()) : std::string();
}

char* createOwnedCopy(const char* bytes, size_t length) {
    char* copy = new char[length + 1];
    memcpy(copy, bytes, length);
    copy[length] = 0;
    return copy;
}

char* createOwnedCopy(const std::string& text) {
    return createOwnedCopy(text.data(), text.size());
}
