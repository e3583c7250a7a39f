#ifndef LARKWIN_PACK_OPTIONS_OPTIONCHECKS_H
#define LARKWIN_PACK_OPTIONS_OPTIONCHECKS_H

#include "pack/options/packOptions.h"

#include <string>

// Whether the parsed command line makes sense: empty, or the usage message
// of the first thing wrong. It asks what the option table's rows say (their
// jobs, the options they go with, their values' checks), what options say
// of each other, and what each package format needs (packageFormat.h).
// --help and --version make sense with anything.
std::string checkCommandLine(const packOptions& options);

#endif
