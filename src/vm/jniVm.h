#ifndef LARKWIN_VM_JNIVM_H
#define LARKWIN_VM_JNIVM_H

#include "runtime/jvmLibrary.h"
#include "vm/javaVm.h"

#include <jni.h>

// The launch description whose VM is running, and the last code handed to
// the exit hook; only the exit hook reads them.
extern javaVm* HACKvm;
extern int jniExitCode;

// Called by the VM when the application ends it (System.exit): records the
// code, deletes the temporary files, restarts the launcher when the code asks
// for it, and ends the process. It never returns to the VM.
void JNICALL exitHook(jint code);

// A Java exception found pending after a JNI call; it stays pending.
class jniException {
  public:
    explicit jniException(jthrowable throwable) : throwable(throwable) {}

    jthrowable throwable;
};

// Runs the application inside the launcher's own process. How the VM-creation
// entry point is found for a java path is the platform subclass's business.
class jniVm : public javaVm {
  public:
    jniVm();

    // Throws "Main class not defined." or "VM creation failed."; otherwise
    // returns after the VM is destroyed (unless the exit hook ends the process).
    void run() override;
    // Null when the runtime of javaPath offers none.
    virtual jniCreateVmPtr getJniCreateVmPtr(char* javaPath) = 0;

    // Throws jniException when a Java exception is pending.
    void jniCheck();
    // A new java.lang.String decoded from the bytes in the VM's default
    // encoding. Failures are left pending for the next jniCheck.
    jstring platformToJavaString(const char* s);

    JavaVM* jvm;
    JNIEnv* env;

  private:
    void createVm(jniCreateVmPtr create, stringArray& madeOptions);
    int fillOptions(JavaVMOption* options, stringArray& madeOptions);
    int addPathOption(JavaVMOption* options, int filled, const stringArray* list,
                      const char* prefix, stringArray& madeOptions);
    void runMain();
    void registerNatives();
    jobjectArray createJavaParams();
    void callMain(jobjectArray javaParams);
};

#endif
