#include "pack/packOptions.h"

#include "util/strings.h"

#include <cstring>

packOptions::packOptions()
    : help(0), version(0), noStartupCache(0), show(nullptr), output(nullptr), launcher(nullptr),
      config(nullptr), mainClass(nullptr), archive(nullptr) {}

packOptions::~packOptions() {
    delete[] show;
    delete[] output;
    delete[] launcher;
    delete[] config;
    delete[] mainClass;
    delete[] archive;
}

// The option's value slot, or null when name takes no value.
static char** valueSlot(packOptions& options, const char* name) {
    const char* names[] = {"-o", "--launcher", "--config", "--main-class", "--show"};
    char** slots[] = {&options.output, &options.launcher, &options.config, &options.mainClass,
                      &options.show};
    for (size_t i = 0; i < sizeof names / sizeof names[0]; i++) {
        if (strcmp(name, names[i]) == 0) {
            return slots[i];
        }
    }
    return nullptr;
}

char* packOptions::createUsageError(int argc, char** argv) {
    for (int i = 1; i < argc; i++) {
        const char* argument = argv[i];
        char** slot = valueSlot(*this, argument);
        if (strcmp(argument, "--help") == 0) {
            help = 1;
        } else if (strcmp(argument, "--version") == 0) {
            version = 1;
        } else if (strcmp(argument, "--no-startup-cache") == 0) {
            noStartupCache = 1;
        } else if (slot != nullptr && i + 1 == argc) {
            return createMessage("%s needs a value", argument);
        } else if (slot != nullptr && *slot != nullptr) {
            return createMessage("%s is given more than once", argument);
        } else if (slot != nullptr) {
            *slot = createStringCopy(argv[++i]);
        } else if (argument[0] == '-' && argument[1] != 0) {
            return createMessage("unknown option '%s'", argument);
        } else if (archive != nullptr) {
            return createStringCopy("only one archive can be bundled");
        } else {
            archive = createStringCopy(argument);
        }
    }
    return help || version ? nullptr : createMisuseError();
}

char* packOptions::createMisuseError() const {
    if (show != nullptr) {
        int alone = output == nullptr && launcher == nullptr && config == nullptr &&
                    mainClass == nullptr && archive == nullptr && !noStartupCache;
        return alone ? nullptr : createStringCopy("--show takes no other options");
    }
    if (output == nullptr) {
        return createStringCopy("-o OUTPUT is required");
    }
    if ((config == nullptr) == (mainClass == nullptr)) {
        return createStringCopy("give exactly one of --config and --main-class");
    }
    if (noStartupCache && mainClass == nullptr) {
        return createStringCopy("--no-startup-cache goes with --main-class only");
    }
    if (archive == nullptr) {
        return createStringCopy("no application archive given");
    }
    return nullptr;
}
