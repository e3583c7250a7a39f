#include "config/configFile.h"

#include "unix/exePath.h"
#include "unix/fileOwners.h"
#include "unix/files.h"
#include "unix/othersWritable.h"
#include "util/owned.h"
#include "util/strings.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

// Every public constructor delegates here first, so that once this one has
// run the destructor releases the name even when reading the file fails.
configFile::configFile(javaVm* vm, char* name)
    : vm(vm), fileName(name), directory(nullptr), content(nullptr), expanding(0),
      canonicalName(nullptr) {}

// Far above any real configuration, and a bound on what an endless stream
// (include /dev/zero) or a huge file can make the launcher hold.
static const size_t longestText = 64 * 1024 * 1024;

// Settings name what the launcher runs (javapath, a -javaagent: option), as
// whoever started it, root included; root with a user's HOME still set must
// not run that user's file. So only a file of root, of the user running the
// launcher or of the launcher's owner is read; any other counts as empty.
static int isReadAsSettings(const char* path, long owner) {
    if (owner >= 0 && isSettingsOwner((unsigned)owner, HACKexePath)) {
        return 1;
    }
    fprintf(stderr, "Not reading '%s': it belongs to another user (uid %ld)\n", path, owner);
    if (debug) {
        printf("config: '%s' not read: uid %ld owns it, and only files of root, of the user "
               "running the launcher (uid %u) or of the launcher's owner are read\n",
               path, owner, (unsigned)geteuid());
    }
    return 0;
}

// A file of another user is not even opened (a FIFO would wait for a
// writer); the owner of what was opened is checked again, since the name
// may have been swapped in between.
static char* createSettingsText(char* path, size_t limit) {
    long owner = getFileOwner(path);
    if (owner >= 0 && !isReadAsSettings(path, owner)) {
        return createStringCopy("");
    }
    ownedString text(createWholeFileContent(path, limit, &owner));
    if (text == nullptr) {
        throw createMessage("Refusing '%s': a configuration may hold at most 64 MiB", path);
    }
    return isReadAsSettings(path, owner) ? text.release() : createStringCopy("");
}

configFile::configFile(char* file, javaVm* vm) : configFile(vm, file) {
    refuseFileOthersMayChange(fileName);
    content = createSettingsText(fileName, longestText);
    char parent[] = "..";
    directory = createAbsolutePath(fileName, parent);
    canonicalName = createCanonicalPath(fileName);
}

configFile::configFile(char* name, javaVm* vm, char* text) : configFile(vm, name) {
    content = text;
    char parent[] = "..";
    directory = createAbsolutePath(fileName, parent);
}

configFile::~configFile() {
    delete[] fileName;
    delete[] directory;
    delete[] content;
    delete[] canonicalName;
}
