#ifndef LARKWIN_PACK_ONEFILE_ONEFILE_H
#define LARKWIN_PACK_ONEFILE_ONEFILE_H

#include "pack/image/applicationDirectory.h"

#include <string>

// -o OUTPUT with --runtime: the one file that carries its own runtime.
// image names the runtime, the data folders (contents), the jars, the
// launcher, NAME (OUTPUT's last part when not given) and quiet, as for an
// app image; its directory is not used.
struct oneFileRequest {
    imageRequest image;
    std::string output;
};

// Writes output (mode 0755, complete or not at all): the launcher; the
// runtime as a part of stored entries; the data folders, when there are
// any, as another; then the jars as a bundle holds them, whose comment is
// the configuration between the lines "unpack appdir DIGEST OFFSET LENGTH"
// (first, so that ${app.dir} names the data's copy) and "unpack runtime
// DIGEST OFFSET LENGTH" (last, so that its java path wins). The runtime is
// made in a temporary folder beside output, removed however the call
// ends. Prints the size unless quiet.
void writeOneFile(const oneFileRequest& request, const char* configuration);

#endif
