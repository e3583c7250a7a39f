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
