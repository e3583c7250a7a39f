#include "pack/options/optionParser.h"

#include "pack/options/optionTable.h"

#include <cstring>

// The slot of a row that takes one value.
static std::optional<std::string>& valueSlot(packOptions& options, const optionRow& row) {
    if (row.format >= 0) {
        return (row.repository ? options.repositoryDirectories
                               : options.packageDirectories)[row.format];
    }
    return options.*row.value;
}

std::string parseCommandLine(int argc, char** argv, packOptions* options) {
    for (int i = 1; i < argc; i++) {
        const char* argument = argv[i];
        if (strcmp(argument, "--") == 0) {
            // The rest are the training run's arguments, as they are.
            options->dashes = true;
            options->trainArguments.assign(argv + i + 1, argv + argc);
            break;
        }
        const optionRow* row = findOption(argument);
        if (row == nullptr && argument[0] == '-' && argument[1] != 0) {
            return std::string("unknown option '") + argument + "'";
        }
        if (row == nullptr) {
            options->archives.push_back(argument);
        } else if (row->flag != nullptr) {
            options->*row->flag = true;
        } else if (i + 1 == argc) {
            return std::string(argument) + " needs a value";
        } else if (row->list != nullptr) {
            (options->*row->list).push_back(argv[++i]);
        } else if (valueSlot(*options, *row).has_value()) {
            return std::string(argument) + " is given more than once";
        } else {
            valueSlot(*options, *row) = argv[++i];
        }
    }
    return "";
}
