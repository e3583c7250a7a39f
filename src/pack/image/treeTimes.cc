#include "pack/image/treeTimes.h"

#include "pack/zip/buildTime.h"
#include "util/strings.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <optional>
#include <sys/stat.h>

static time_t clampedTime;

static int clampOne(const char* path, const struct stat* status, int, struct FTW*) {
    if (status->st_mtime < clampedTime) {
        return 0;
    }
    struct timespec times[2] = {{clampedTime, 0}, {clampedTime, 0}};
    return utimensat(AT_FDCWD, path, times, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : -1;
}

void clampTreeTimes(const char* directory) {
    std::optional<long> epoch = getSourceDateEpoch();
    if (!epoch) {
        return;
    }
    clampedTime = (time_t)*epoch;
    // Depth first, so that a directory's time is set after its entries'.
    if (nftw(directory, clampOne, 32, FTW_PHYS | FTW_DEPTH) != 0) {
        throw createMessage("Unable to set the times under '%s': %s", directory, strerror(errno));
    }
}
