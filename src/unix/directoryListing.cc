#include "unix/directoryListing.h"

#include "unix/files.h"

#include <cstring>
#include <dirent.h>

static int hasExtension(const char* name, const char* extension) {
    size_t nameLength = strlen(name);
    size_t extensionLength = strlen(extension);
    if (nameLength <= extensionLength) {
        return 0;
    }
    const char* ending = name + nameLength - extensionLength;
    return ending[-1] == '.' && strcmp(ending, extension) == 0;
}

void addFiles(stringArray* files, const char* dir, const char* extension) {
    DIR* listing = opendir(dir);
    if (listing == nullptr) {
        return;
    }
    while (struct dirent* entry = readdir(listing)) {
        if (hasExtension(entry->d_name, extension)) {
            files->append(createAbsolutePath(dir, entry->d_name));
        }
    }
    closedir(listing);
}
