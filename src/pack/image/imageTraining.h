#ifndef LARKWIN_PACK_IMAGE_IMAGETRAINING_H
#define LARKWIN_PACK_IMAGE_IMAGETRAINING_H

#include "pack/image/trainingRun.h"

class stringArray;

// Runs the application directory's own launcher, image/bin/name, with the arguments and
// LARKWIN_STARTUP_CACHE=ship, so that its start-up cache makes the archive
// the image ships (image/lib/startupcache), and waits for it, at most
// trainingSeconds (then it is ended by SIGTERM, and SIGKILL if need be).
// Its standard input is /dev/null; what it prints goes to larkwin-pack's
// standard error, or nowhere when quiet. Throws why when it did not end
// with status 0 or left no archive.
// On a runtime that records method profiles, the archive shipped in the
// end is the cheaper of two, with them and without (profileChoice.h).
// The same for any launcher, with XDG_CACHE_HOME set to cacheHome unless
// it is null, on the runtime in runtimeHome; the archive is looked for in
// shipped.
void trainLauncher(const char* launcher, const stringArray& arguments, const char* cacheHome,
                   const char* shipped, const char* runtimeHome, int quiet);

void trainApplicationDirectory(const char* image, const char* name, const stringArray& arguments,
                               int quiet);

#endif
