#include "config/configFile.h"
#include "config/parseChain.h"
#include "unix/directoryListing.h"
#include "unix/exePath.h"
#include "unix/files.h"
#include "unix/othersWritable.h"
#include "util/stringArray.h"
#include "util/strings.h"

#include <cstdio>

// Far deeper than any real configuration nests, and shallow enough that the
// readers' frames on the stack stay well inside its limit.
static const int deepestInclude = 1000;

void configFile::includeFile(char* path) {
    if (getParseDepth() > deepestInclude) {
        char* message = createMessage("Refusing '%s': includes may nest at most 1000 deep", path);
        delete[] path;
        throw message;
    }
    char* canonical = createCanonicalPath(path);
    if (canonical != nullptr && isBeingParsed(canonical)) {
        char* message = createMessage("Configuration include cycle at '%s'", canonical);
        delete[] canonical;
        delete[] path;
        throw message;
    }
    delete[] canonical;
    configFile nested(path, vm);
    nested.parse();
}

void configFile::includeFileIfPresent(char* path) {
    if (isMissingFile(path)) {
        if (debug) {
            printf("tryinclude: '%s' does not exist; skipped\n", path);
        }
        delete[] path;
        return;
    }
    includeFile(path);
}

// The files of the argument's directory whose names end in a dot and
// extension, in the order of the listing; a directory that other users may
// change is refused.
static void addMatchingFiles(stringArray* files, configFile* file, char* argument,
                             char* extension) {
    char* dir = createAbsolutePath(file->directory, argument);
    try {
        refuseDirectoryOthersMayChange(dir);
    } catch (char*) {
        delete[] dir;
        throw;
    }
    addFiles(files, dir, extension);
    delete[] dir;
}

void configFile::includeDir(char* argument) {
    char extension[] = "config";
    stringArray files;
    addMatchingFiles(&files, this, argument, extension);
    for (int i = 0; i < files.size(); i++) {
        includeFile(createStringCopy(files[i]));
    }
}

void configFile::addJars(char* argument, int boot) {
    char extension[] = "jar";
    stringArray files;
    addMatchingFiles(&files, this, argument, extension);
    for (int i = 0; i < files.size(); i++) {
        if (boot != 0) {
            vm->addBootPath(createStringCopy(files[i]));
        } else {
            vm->addPath(createStringCopy(files[i]));
        }
    }
}
