#include "pack/zip/buildTime.h"

#include "util/strings.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

std::optional<long> getSourceDateEpoch() {
    const char* epoch = getenv("SOURCE_DATE_EPOCH");
    if (epoch == nullptr || epoch[0] == 0) {
        return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    long seconds = strtol(epoch, &end, 10);
    if (strspn(epoch, "0123456789") != strlen(epoch) || errno != 0) {
        throw createMessage("SOURCE_DATE_EPOCH '%s' is not a number of seconds since 1970", epoch);
    }
    return seconds;
}

long getBuildTime() {
    std::optional<long> epoch = getSourceDateEpoch();
    return epoch ? *epoch : (long)time(nullptr);
}
