#ifndef LARKWIN_PROCESS_JNIVMUNIX_H
#define LARKWIN_PROCESS_JNIVMUNIX_H

#include "vm/jniVm.h"

// The entry point this platform's launch description offers; never assigned,
// since the application runs in a java child process instead.
extern jniCreateVmPtr createPtr;

// The launcher's launch description: runs the application with the
// runtime's java executable as a child process and records how it ended.
class jniVmUnix : public jniVm {
  public:
    jniVmUnix();

    // Throws "Main class not defined.", the no-runtime message, "fork
    // failed", or, when arguments go to an argument file, "Unable to create
    // temporary file." or "Failed to write to temporary file.". Under +DEBUG
    // the command line is echoed first (no line end).
    void run() override;
    jniCreateVmPtr getJniCreateVmPtr(char* javaPath) override;
};

#endif
