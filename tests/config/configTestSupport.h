#ifndef LARKWIN_TESTS_CONFIG_CONFIGTESTSUPPORT_H
#define LARKWIN_TESTS_CONFIG_CONFIGTESTSUPPORT_H

// Readers over real files and text, bound to a launch description that runs
// nothing.

#include "config/configFile.h"
#include "testSupport.h"
#include "unix/exePath.h"
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

// Points HACKexePath at a path for the lifetime of the object.
class exePathFor {
  public:
    explicit exePathFor(const std::string& path) : path(path), previous(HACKexePath) {
        HACKexePath = path.empty() ? nullptr : &this->path[0];
    }
    ~exePathFor() { HACKexePath = previous; }
    exePathFor(const exePathFor&) = delete;
    exePathFor& operator=(const exePathFor&) = delete;

  private:
    std::string path;
    char* previous;
};

#endif
