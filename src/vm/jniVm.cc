#include "vm/jniVm.h"

#include "unix/exePath.h"
#include "unix/files.h"
#include "util/owned.h"
#include "util/strings.h"
#include "vm/associationStubs.h"
#include "vm/moduleAccess.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

javaVm* HACKvm = nullptr;
int jniExitCode = 0;

void JNICALL exitHook(jint code) {
    jniExitCode = code;
    for (int i = 0; i < HACKtempFileArray.size(); i++) {
        deleteTempFile(HACKtempFileArray[i]);
    }
    if (HACKvm != nullptr) {
        HACKvm->setExitCode(code);
        if (HACKvm->shouldRestart()) {
            HACKrestart();
        }
    }
    exit(code);
}

jniVm::jniVm() : jvm(nullptr), env(nullptr) {}

void jniVm::run() {
    if (mainClass == nullptr) {
        throw createStringCopy("Main class not defined.");
    }
    if (javaPath != nullptr) {
        javaRuntime runtime(javaPath);
        useManifestAccess(*this, runtime);
    }
    jniCreateVmPtr create = getJniCreateVmPtr(javaPath);
    // Owns the option strings made here until the VM is gone.
    stringArray madeOptions;
    createVm(create, madeOptions);
    runMain();
    jvm->DestroyJavaVM();
}

void jniVm::createVm(jniCreateVmPtr create, stringArray& madeOptions) {
    ownedArray<JavaVMOption> options(new JavaVMOption[vmOptions.size() + 5]);
    JavaVMInitArgs args;
    args.version = JNI_VERSION_1_2;
    args.nOptions = fillOptions(options.get(), madeOptions);
    args.options = options.get();
    args.ignoreUnrecognized = JNI_FALSE;
    if (debug) {
        printf("%s", mainClass);
    }
    jint created = JNI_ERR;
    if (create != nullptr) {
        created = create(&jvm, reinterpret_cast<void**>(&env), &args);
    }
    if (created != 0) {
        throw createStringCopy("VM creation failed.");
    }
}

// The exit hook first, then the class path, the boot path and the VM options;
// the debug echo shows them as a java command line would.
int jniVm::fillOptions(JavaVMOption* options, stringArray& madeOptions) {
    // The interface's option holds a char*.
    static char exitOption[] = "exit";
    options[0].optionString = exitOption;
    options[0].extraInfo = reinterpret_cast<void*>(exitHook);
    HACKvm = this;
    if (debug) {
        printf("%s ", javaPath != nullptr ? javaPath : "java");
    }
    int filled = 1;
    filled = addPathOption(options, filled, &classPath, "-Djava.class.path=", madeOptions);
    filled = addPathOption(options, filled, &bootPath, "-Xbootclasspath/p:", madeOptions);
    for (int i = 0; i < vmOptions.size(); i++) {
        options[filled].optionString = vmOptions[i];
        options[filled].extraInfo = nullptr;
        filled++;
        if (debug) {
            printf("%s ", vmOptions[i]);
        }
    }
    return filled;
}

int jniVm::addPathOption(JavaVMOption* options, int filled, const stringArray* list,
                         const char* prefix, stringArray& madeOptions) {
    if (list->size() == 0) {
        return filled;
    }
    char* option = createString(prefix, ownedString(createPath(list)).get());
    madeOptions.append(option);
    options[filled].optionString = option;
    options[filled].extraInfo = nullptr;
    if (debug) {
        printf("%s ", option);
    }
    return filled + 1;
}

// A Java exception anywhere here skips the rest; it is reported by the VM on
// its error output and the exit code stays as it was.
void jniVm::runMain() {
    try {
        registerNatives();
        jobjectArray javaParams = createJavaParams();
        callMain(javaParams);
    } catch (jniException&) {
        env->ExceptionDescribe();
        env->ExceptionClear();
    }
}

// The application need not have the association class at all.
void jniVm::registerNatives() {
    jclass association = env->FindClass("com/larkwin/trellion/util/FileAssociation");
    if (association == nullptr) {
        env->ExceptionClear();
        return;
    }
    env->RegisterNatives(association, methods, 2);
    jniCheck();
}

jobjectArray jniVm::createJavaParams() {
    jclass stringClass = env->FindClass("java/lang/String");
    jniCheck();
    jobjectArray javaParams = env->NewObjectArray(params.size(), stringClass, nullptr);
    jniCheck();
    for (int i = 0; i < params.size(); i++) {
        if (debug) {
            printf(" %s", params[i]);
        }
        jstring param = platformToJavaString(params[i]);
        jniCheck();
        env->SetObjectArrayElement(javaParams, i, param);
        jniCheck();
        env->DeleteLocalRef(param);
    }
    if (debug) {
        printf("\n");
    }
    return javaParams;
}

void jniVm::callMain(jobjectArray javaParams) {
    jclass main = env->FindClass(mainClass);
    jniCheck();
    jmethodID method = env->GetStaticMethodID(main, "main", "([Ljava/lang/String;)V");
    jniCheck();
    // The echo comes before whatever the application writes itself.
    fflush(stdout);
    env->CallStaticVoidMethod(main, method, javaParams);
    jniCheck();
    setExitCode(jniExitCode);
}

void jniVm::jniCheck() {
    jthrowable pending = env->ExceptionOccurred();
    if (pending != nullptr) {
        throw jniException(pending);
    }
}

// Each step needs the one before; a failed step leaves its exception pending
// and the rest undone.
jstring jniVm::platformToJavaString(const char* s) {
    jclass stringClass = env->FindClass("java/lang/String");
    if (stringClass == nullptr) {
        return nullptr;
    }
    jmethodID constructor = env->GetMethodID(stringClass, "<init>", "([B)V");
    jsize length = (jsize)strlen(s);
    jbyteArray bytes = constructor != nullptr ? env->NewByteArray(length) : nullptr;
    jstring string = nullptr;
    if (bytes != nullptr) {
        env->SetByteArrayRegion(bytes, 0, length, reinterpret_cast<const jbyte*>(s));
        string = (jstring)env->NewObject(stringClass, constructor, bytes);
        env->DeleteLocalRef(bytes);
    }
    env->DeleteLocalRef(stringClass);
    return string;
}
