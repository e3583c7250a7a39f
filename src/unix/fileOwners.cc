#include "unix/fileOwners.h"

#include <sys/stat.h>
#include <unistd.h>

int isRootOrRunningUser(unsigned uid) {
    return uid == 0 || uid == (unsigned)geteuid() ? 1 : 0;
}

long getFileOwner(const char* path) {
    struct stat status;
    return stat(path, &status) == 0 ? (long)status.st_uid : -1;
}

int isSettingsOwner(unsigned uid, const char* executable) {
    if (isRootOrRunningUser(uid)) {
        return 1;
    }
    return executable != nullptr && getFileOwner(executable) == (long)uid ? 1 : 0;
}
