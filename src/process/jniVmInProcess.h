#ifndef LARKWIN_PROCESS_JNIVMINPROCESS_H
#define LARKWIN_PROCESS_JNIVMINPROCESS_H

#include "runtime/jvmLibrary.h"
#include "vm/jniVm.h"

// Runs the application inside the launcher's process, in the runtime that
// the java path belongs to.
class jniVmInProcess : public jniVm {
  public:
    jniCreateVmPtr getJniCreateVmPtr(char* javaPath) override { return findJniCreateVm(javaPath); }
};

#endif
