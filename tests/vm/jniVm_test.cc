#include "processSupport.h"
#include "unix/exePath.h"
#include "util/strings.h"
#include "vm/jniVm.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {
// What the VM-creation entry point was handed.
struct creationRequest {
    jint version = 0;
    jboolean ignoreUnrecognized = JNI_TRUE;
    std::vector<std::string> options;
    std::vector<void*> extraInfo;
};
creationRequest request;

jint JNICALL refuseCreation(JavaVM**, void**, void* args) {
    JavaVMInitArgs* initArgs = static_cast<JavaVMInitArgs*>(args);
    request = creationRequest();
    request.version = initArgs->version;
    request.ignoreUnrecognized = initArgs->ignoreUnrecognized;
    for (int i = 0; i < initArgs->nOptions; i++) {
        request.options.push_back(initArgs->options[i].optionString);
        request.extraInfo.push_back(initArgs->options[i].extraInfo);
    }
    return JNI_ERR;
}

class stubVm : public jniVm {
  public:
    explicit stubVm(jniCreateVmPtr entryPoint) : entryPoint(entryPoint) {}
    jniCreateVmPtr getJniCreateVmPtr(char* path) override {
        asked++;
        askedFor = path;
        return entryPoint;
    }

    jniCreateVmPtr entryPoint;
    int asked = 0;
    char* askedFor = nullptr;
};

} // namespace

TEST(JniVm, MissingMainClassStopsBeforeAnythingIsAskedOrPrinted) {
    scratchDir dir;
    debugFlag on(1);
    stubVm vm(refuseCreation);
    vm.setJavaPath(copyOf("/jre/bin/java"));
    capturedOutput output(dir);
    EXPECT_EQ("Main class not defined.", thrownMessage([&] { vm.run(); }));
    EXPECT_EQ("", output.text());
    EXPECT_EQ(0, vm.asked);
}

TEST(JniVm, OptionsAreTheHookThenClassPathBootPathAndVmOptions) {
    scratchDir dir;
    debugFlag on(1);
    stubVm vm(refuseCreation);
    vm.setJavaPath(copyOf("/jre/bin/java"));
    vm.setMainClass(copyOf("app.Main"));
    vm.addPath(copyOf("/a/x.jar"));
    vm.addPath(copyOf("/a/y.jar"));
    vm.addBootPath(copyOf("/b/z.jar"));
    vm.addVmOption(copyOf("-Xmx64m"));
    vm.addVmOption(copyOf("-Dk=v"));
    vm.addParam(copyOf("one"));
    capturedOutput output(dir);
    EXPECT_EQ("VM creation failed.", thrownMessage([&] { vm.run(); }));
    // The echo stops after the main class: the parameters follow creation.
    EXPECT_EQ("/jre/bin/java -Djava.class.path=/a/x.jar:/a/y.jar -Xbootclasspath/p:/b/z.jar "
              "-Xmx64m -Dk=v app/Main",
              output.text());
    EXPECT_EQ(1, vm.asked);
    EXPECT_EQ(vm.javaPath, vm.askedFor);
    EXPECT_EQ(&vm, HACKvm);
    EXPECT_EQ(JNI_VERSION_1_2, request.version);
    EXPECT_EQ(JNI_FALSE, request.ignoreUnrecognized);
    EXPECT_EQ((std::vector<std::string>{"exit", "-Djava.class.path=/a/x.jar:/a/y.jar",
                                        "-Xbootclasspath/p:/b/z.jar", "-Xmx64m", "-Dk=v"}),
              request.options);
    EXPECT_EQ(reinterpret_cast<void*>(exitHook), request.extraInfo[0]);
}

TEST(JniVm, EmptyPathsLeaveTheHookAndTheVmOptions) {
    stubVm vm(refuseCreation);
    vm.setMainClass(copyOf("app.Main"));
    vm.addVmOption(copyOf("-Xmx64m"));
    EXPECT_EQ("VM creation failed.", thrownMessage([&] { vm.run(); }));
    EXPECT_EQ((std::vector<std::string>{"exit", "-Xmx64m"}), request.options);
    EXPECT_EQ(nullptr, vm.askedFor);
}

TEST(JniVm, NoEntryPointMeansVmCreationFailed) {
    stubVm vm(nullptr);
    vm.setMainClass(copyOf("app.Main"));
    EXPECT_EQ("VM creation failed.", thrownMessage([&] { vm.run(); }));
    EXPECT_EQ(1, vm.asked);
}
