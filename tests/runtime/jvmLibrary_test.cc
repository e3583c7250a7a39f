#include "process/jniVmInProcess.h"
#include "testSupport.h"
#include "util/strings.h"

#include <gtest/gtest.h>

// Loading a real runtime is left to the in-process cases, which run in
// processes of their own.

TEST(JvmLibrary, NoRuntimeGivesNoEntryPoint) {
    scratchDir dir;
    dir.mkdir("jdk");
    dir.mkdir("jdk/bin");
    dir.mkdir("jdk/lib");
    dir.mkdir("jdk/lib/server");
    dir.write("jdk/bin/java", "");
    dir.write("jdk/lib/server/libjvm.so", "not a library");
    EXPECT_EQ(nullptr, findJniCreateVm(nullptr));
    EXPECT_EQ(nullptr, findJniCreateVm(const_cast<char*>(dir.path("none/bin/java").c_str())));
    EXPECT_EQ(nullptr, findJniCreateVm(const_cast<char*>(dir.path("jdk/bin/java").c_str())));
}

TEST(JvmLibrary, InProcessRunWithoutEntryPointFailsCreation) {
    scratchDir dir;
    jniVmInProcess vm;
    vm.setJavaPath(createStringCopy(dir.path("bin/java").c_str()));
    vm.setMainClass(createStringCopy("app.Main"));
    EXPECT_EQ("VM creation failed.", thrownMessage([&] { vm.run(); }));
}
