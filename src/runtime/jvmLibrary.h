#ifndef LARKWIN_RUNTIME_JVMLIBRARY_H
#define LARKWIN_RUNTIME_JVMLIBRARY_H

#include <jni.h>

// The VM-creation entry point of the invocation interface (JNI_CreateJavaVM).
typedef jint(JNICALL* jniCreateVmPtr)(JavaVM** vm, void** env, void* args);

// The architecture directory of the runtimes that keep their library under
// jre/lib/<architecture>/server (Java 8 and earlier).
const char* getRuntimeArchitecture();

// Loads the VM library of the runtime that javaPath belongs to (the home is
// bin/.. of the java executable once its links are resolved) and returns its
// JNI_CreateJavaVM; null when there is no such runtime or library.
jniCreateVmPtr findJniCreateVm(const char* javaPath);

#endif
