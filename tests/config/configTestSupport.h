#ifndef LARKWIN_TESTS_CONFIG_CONFIGTESTSUPPORT_H
#define LARKWIN_TESTS_CONFIG_CONFIGTESTSUPPORT_H

// Readers over real files and text, bound to a launch description that runs
// nothing.

#include "config/configFile.h"
#include "testSupport.h"
#include "unix/files.h"
#include "util/strings.h"
#include "vm/javaVm.h"

#include <string>

class testVm : public javaVm {
  public:
    void run() override {}
};

inline void parseFile(javaVm* vm, const std::string& path) {
    configFile reader(copyOf(path), vm);
    reader.parse();
}

// Text handed over as if it were embedded in the file name.
inline void parseText(javaVm* vm, const std::string& name, const std::string& text) {
    configFile reader(copyOf(name), vm, copyOf(text));
    reader.parse();
}

inline std::string parseFailure(javaVm* vm, const std::string& path) {
    return thrownMessage([&] { parseFile(vm, path); });
}

#endif
