#ifndef LARKWIN_UNIX_DIRECTORYLISTING_H
#define LARKWIN_UNIX_DIRECTORYLISTING_H

#include "util/stringArray.h"

// Appends to files the absolute path of every entry of dir whose name is
// longer than extension, ends in it (case-sensitive) and has a dot just
// before it, in the order of the listing. A directory that cannot be listed
// adds nothing.
void addFiles(stringArray* files, const char* dir, const char* extension);

#endif
