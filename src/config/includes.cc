#include "config/includes.h"

#include "config/configFile.h"
#include "config/parseChain.h"
#include "unix/directoryListing.h"
#include "unix/exePath.h"
#include "unix/files.h"
#include "unix/othersWritable.h"
#include "util/owned.h"
#include "util/stringArray.h"
#include "util/strings.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Far deeper than any real configuration nests, and shallow enough that the
// readers' frames on the stack stay well inside its limit.
static const int deepestInclude = 1000;

void includeFile(configFile& file, char* path) {
    ownedString owned(path);
    if (getParseDepth() > deepestInclude) {
        throw createMessage("Refusing '%s': includes may nest at most 1000 deep", path);
    }
    ownedString canonical(createCanonicalPath(path));
    if (canonical != nullptr && isBeingParsed(canonical.get())) {
        throw createMessage("Configuration include cycle at '%s'", canonical.get());
    }
    configFile nested(owned.release(), file.vm);
    nested.parse();
}

// A directory on the way that may not be searched (a service with
// ProtectHome=yes, nobody with HOME=/root) hides the file as absence does.
static int isOutOfReach(const char* path) {
    struct stat status;
    return stat(path, &status) != 0 && errno == EACCES;
}

// A file that is there but may not be read; opened without waiting, since
// it may be a FIFO.
static int isUnreadable(const char* path) {
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        close(fd);
    }
    return fd < 0 && errno == EACCES;
}

void includeFileIfPresent(configFile& file, char* path) {
    ownedString owned(path);
    if (isMissingFile(path)) {
        if (debug) {
            printf("tryinclude: '%s' does not exist; skipped\n", path);
        }
        return;
    }
    if (isOutOfReach(path)) {
        if (debug) {
            printf("tryinclude: '%s' cannot be reached (%s); skipped\n", path, strerror(EACCES));
        }
        return;
    }
    if (isUnreadable(path)) {
        fprintf(stderr, "Not reading '%s': %s\n", path, strerror(EACCES));
        return;
    }
    includeFile(file, owned.release());
}

// The files of the argument's directory whose names end in a dot and
// extension, in the order of the listing; a directory that other users may
// change is refused.
static void addMatchingFiles(stringArray* files, configFile& file, char* argument,
                             char* extension) {
    ownedString dir(createAbsolutePath(file.directory, argument));
    refuseDirectoryOthersMayChange(dir.get());
    addFiles(files, dir.get(), extension);
}

void includeDir(configFile& file, char* argument) {
    char extension[] = "config";
    stringArray files;
    addMatchingFiles(&files, file, argument, extension);
    for (int i = 0; i < files.size(); i++) {
        includeFile(file, createStringCopy(files[i]));
    }
}

void addJars(configFile& file, char* argument, int boot) {
    char extension[] = "jar";
    stringArray files;
    addMatchingFiles(&files, file, argument, extension);
    for (int i = 0; i < files.size(); i++) {
        if (boot != 0) {
            file.vm->addBootPath(createStringCopy(files[i]));
        } else {
            file.vm->addPath(createStringCopy(files[i]));
        }
    }
}
