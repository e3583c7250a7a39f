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

#include <cstdio>

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

void includeFileIfPresent(configFile& file, char* path) {
    ownedString owned(path);
    if (isMissingFile(path)) {
        if (debug) {
            printf("tryinclude: '%s' does not exist; skipped\n", path);
        }
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
