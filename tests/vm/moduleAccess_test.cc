#include "processSupport.h"
#include "testSupport.h"
#include "vm/moduleAccess.h"

#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace {

class recordingVm : public javaVm {
  public:
    void run() override {}
};

const char* const jdk17 = "/usr/lib/jvm/java-17-openjdk-amd64";

// The VM options and the +DEBUG lines that the entries give on the runtime
// of javaPath.
std::string accessGiven(const char* javaPath, const char* exports, const char* opens) {
    recordingVm vm;
    addManifestAccess(vm.manifestExports, exports);
    addManifestAccess(vm.manifestOpens, opens);
    javaRuntime runtime(javaPath);
    scratchDir dir;
    std::string lines;
    {
        capturedOutput out(dir);
        debugFlag on(1);
        useManifestAccess(vm, runtime);
        lines = out.text();
    }
    return joined(vm.vmOptions) + "\n" + lines;
}

TEST(ModuleAccess, OnlyWhatTheRuntimeHasBecomesAnOption) {
    if (access((std::string(jdk17) + "/lib/modules").c_str(), R_OK) != 0) {
        GTEST_SKIP() << jdk17 << " is not installed";
    }
    std::string java = std::string(jdk17) + "/bin/java";
    EXPECT_EQ("--add-exports=java.base/sun.nio.ch=ALL-UNNAMED|"
              "--add-opens=java.base/java.lang=ALL-UNNAMED\n"
              "addexports: left out jdk.deploy/com.sun.deploy.config: the runtime has no such "
              "module\n"
              "addexports: left out java.desktop/com.apple.eawt: the module has no such package\n"
              "addopens: left out java.base: not a module's and a package's name\n"
              "addopens: left out java.base/java.lang/x: not a module's and a package's name\n"
              "addopens: left out java.base/java.lang=ALL-UNNAMED,--x: not a module's and a "
              "package's name\n"
              "addopens: left out /java.lang: not a module's and a package's name\n"
              "addopens: left out java.base/\"q\": not a module's and a package's name\n"
              "addopens: left out java.base/%s: not a module's and a package's name\n"
              "addopens: left out java.base/$(id): not a module's and a package's name\n"
              "addopens: left out java.base/a\rb: not a module's and a package's name\n",
              accessGiven(java.c_str(),
                          "jdk.deploy/com.sun.deploy.config  java.base/sun.nio.ch\t"
                          "java.desktop/com.apple.eawt ",
                          "java.base java.base/java.lang/x java.base/java.lang=ALL-UNNAMED,--x "
                          "/java.lang java.base/java.lang java.base/\"q\" java.base/%s "
                          "java.base/$(id) java.base/a\rb"));
}

// A runtime before Java 9 would refuse the options; one whose image cannot
// be read gets every well-formed entry, as the options it always got.
TEST(ModuleAccess, RuntimesThatCannotBeAskedTakeNoneOrAll) {
    scratchDir dir;
    dir.mkdir("jdk8");
    dir.mkdir("jdk8/bin");
    std::string java8 = dir.write("jdk8/bin/java", "");
    dir.write("jdk8/release", "JAVA_VERSION=\"1.8.0_392\"\n");
    EXPECT_EQ("\naddexports: left out a.b/c.d: the runtime has no modules (before Java 9)\n"
              "addopens: left out e.f/g: the runtime has no modules (before Java 9)\n",
              accessGiven(java8.c_str(), "a.b/c.d", "e.f/g"));
    dir.mkdir("jdk17");
    dir.mkdir("jdk17/bin");
    dir.mkdir("jdk17/lib");
    std::string java17 = dir.write("jdk17/bin/java", "");
    dir.write("jdk17/release", "JAVA_VERSION=\"17.0.9\"\n");
    dir.write("jdk17/lib/modules", "not an image");
    EXPECT_EQ("--add-exports=a.b/c.d=ALL-UNNAMED|--add-opens=e.f/g=ALL-UNNAMED\n"
              "addexports, addopens: the runtime's lib/modules cannot be read; every entry is "
              "given as it stands\n",
              accessGiven(java17.c_str(), "a.b/c.d", "e.f/g"));
    EXPECT_EQ("\n", accessGiven(java17.c_str(), "", " \t "));
}

} // namespace
