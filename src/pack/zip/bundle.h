#ifndef LARKWIN_PACK_ZIP_BUNDLE_H
#define LARKWIN_PACK_ZIP_BUNDLE_H

#include "pack/zip/zipLimits.h"

class stringArray;

// Writes output (mode 0755, complete or not at all): the launcher followed
// by one archive whose comment is the configuration. One archive is copied
// whole with its offsets moved past the launcher; several are merged (see
// zipMerge.h), and every duplicate left out is named on standard error unless
// quiet is set. What else the merge changes (see zipMerge.h) is said there
// in any case. An archive that would grow beyond limits is refused.
void writeBundle(char* launcher, const stringArray& archives, const char* output,
                 const char* configuration, int quiet, const zipLimits& limits = bundleLimits);

// Writes output (mode 0755, complete or not at all): the launcher followed
// by an archive without entries whose comment is the configuration.
void writeConfiguredLauncher(char* launcher, const char* output, const char* configuration);

#endif
