#ifndef LARKWIN_FUZZ_FUZZSUPPORT_H
#define LARKWIN_FUZZ_FUZZSUPPORT_H

// Shared by the fuzz targets: a scratch tree that lives as long as the fuzzing
// process, a launch description that launches nothing, and checks that abort
// (so that libFuzzer records the input) when an expectation fails. A
// reported failure is taken with the tests' thrownMessage: for a fuzz target it
// is an ordinary outcome.

#include "testSupport.h"
#include "vm/javaVm.h"

#include <cstddef>
#include <cstdint>
#include <string>

// A launch description whose run only counts; the driver stops there.
class fuzzVm : public javaVm {
  public:
    void run() override { runs++; }
    int runs = 0;
};

// The canonical path of the process's scratch directory, made on first use
// and removed at exit.
const std::string& scratchRoot();
std::string scratchPath(const std::string& relative);
std::string writeScratch(const std::string& relative, const std::string& bytes);
void makeScratchDir(const std::string& relative);

// Aborts with the message when condition is false.
void expect(bool condition, const char* what);

// Releases the dump files that environment passing registered process-wide,
// so that they do not pile up over millions of runs.
void forgetTempFiles();

#endif
