#ifndef LARKWIN_PACK_OPTIONS_OPTIONPARSER_H
#define LARKWIN_PACK_OPTIONS_OPTIONPARSER_H

#include "pack/options/packOptions.h"

#include <string>

// Fills the slots of options from argv, each option by its row of the
// option table (optionTable.h), the other arguments as archives, and what
// follows "--" as the training run's arguments. Empty, or the message of an
// option that is unknown, lacks its value or is given twice.
std::string parseCommandLine(int argc, char** argv, packOptions* options);

#endif
