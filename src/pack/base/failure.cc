#include "pack/base/failure.h"

#include "util/owned.h"
#include "util/strings.h"

#include <cstring>

void fail(const std::string& message) {
    throw createStringCopy(message.c_str());
}

void failWithReason(const char* what, const std::string& path) {
    // A call that failed without saying why counts as an input/output error.
    int cause = errno != 0 ? errno : EIO;
    throw createMessage("%s '%s': %s", what, path.c_str(), strerror(cause));
}

void failAddingReason(char* message, int cause) {
    ownedString owned(message);
    throw createMessage("%s: %s", owned.get(), strerror(cause));
}

std::string joinWords(const std::vector<std::string>& words, const char* lastJoin,
                      const char* suffix) {
    std::string joined;
    for (size_t i = 0; i < words.size(); i++) {
        joined += (i == 0 ? "" : i + 1 == words.size() ? lastJoin : ", ") + words[i] + suffix;
    }
    return joined;
}
