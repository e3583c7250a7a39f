#include "pack/zip/buildTime.h"

#include "pack/base/failure.h"

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
        fail(std::string("SOURCE_DATE_EPOCH '") + epoch +
             "' is not a number of seconds since 1970");
    }
    return seconds;
}

long getBuildTime() {
    std::optional<long> epoch = getSourceDateEpoch();
    return epoch ? *epoch : (long)time(nullptr);
}

std::string formatMailDate(long seconds) {
    time_t when = (time_t)seconds;
    struct tm utc;
    if (gmtime_r(&when, &utc) == nullptr) {
        fail(std::to_string(seconds) + " is beyond the dates this system knows");
    }
    char date[64];
    strftime(date, sizeof date, "%a, %d %b %Y %H:%M:%S +0000", &utc);
    return date;
}
