#ifndef LARKWIN_PACK_PACKAGE_STAGINGFILES_H
#define LARKWIN_PACK_PACKAGE_STAGINGFILES_H

#include "unix/files.h"

#include <string>
#include <utility>
#include <vector>

// Files of the tree that becomes a package. Failures throw "Unable to
// create '%s'".

// directory, "/" and name. Owned.
char* joinPath(const char* directory, const char* name);

// Writes the text as the whole of a new file with the mode.
void writeTextFile(const char* path, const char* text, int mode);

// Writes the text gzipped at the highest level, without a name or time in
// its header, as Debian's documentation is.
void writeGzipFile(const char* path, const char* text);

// Gives directories and files the modes packages give them: 0755 for
// directories and for files that anyone may execute, 0644 for other files.
// Links are left as they are.
void normalizeModes(const char* path);

// Appends to files every regular file under path (links are not followed),
// or with elfOnly every ELF file.
void findFiles(const char* path, class stringArray& files, int elfOnly);

// Moves every file of the directory from into the directory to, under its
// name, each complete or not at all (a copy beside it renamed into place when
// the two are on different file systems); appends the new paths to moved.
void moveFiles(const char* from, const char* to, class stringArray& moved);

// Moves the packages that a tool built into the directory built into the
// directory to (see moveFiles) and, unless quiet, names each one written;
// returns their new paths.
std::vector<std::string> publishPackages(const char* built, const char* to, int quiet);

// Moves the packages that tools built, every file of each pair's first
// directory into its second, all or none: none is in place until all have
// been brought beside their places, and a failure or a termination signal
// leaves none of them. Unless quiet, names each one written. Returns the
// paths written, in order.
std::vector<std::string>
publishAll(const std::vector<std::pair<std::string, std::string>>& builtAndTo, int quiet);

#endif
