#ifndef LARKWIN_PACK_OPTIONS_PACKREQUESTS_H
#define LARKWIN_PACK_OPTIONS_PACKREQUESTS_H

#include "pack/image/applicationDirectory.h"
#include "pack/onefile/oneFile.h"
#include "pack/package/packageRequest.h"

#include <string>
#include <vector>

struct packOptions;

// The requests that the command line makes of the layers below, one per
// job; each names only what its job reads.

// -o OUTPUT: the one-file bundle of the launcher and the jars.
struct bundleRequest {
    std::string launcher;
    std::vector<std::string> archives;
    std::string output;
    bool quiet = false;
};

bundleRequest createBundleRequest(const packOptions& options);

// --app-image DIR (and the application directory of a package).
imageRequest createImageRequest(const packOptions& options);

// -o OUTPUT --runtime: the one file that carries its runtime.
oneFileRequest createOneFileRequest(const packOptions& options);

// The formats' options: the packages and the application directory they hold.
packageRequest createPackageRequest(const packOptions& options);

#endif
