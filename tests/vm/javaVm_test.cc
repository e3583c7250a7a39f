#include "testSupport.h"
#include "util/strings.h"
#include "vm/javaVm.h"

#include <gtest/gtest.h>

namespace {
class recordingVm : public javaVm {
  public:
    void run() override {}
};

std::string list(const stringArray& array) {
    std::string text;
    for (int i = 0; i < array.size(); i++) {
        text += (i > 0 ? "," : "") + std::string(array[i]);
    }
    return text;
}

char* copy(const char* s) {
    return createStringCopy(s);
}
} // namespace

TEST(JavaVm, StartsEmptyAndNeverRestarts) {
    recordingVm vm;
    EXPECT_EQ(0, vm.getExitCode());
    EXPECT_EQ(0, vm.getSocketPort());
    EXPECT_EQ(nullptr, vm.javaPath);
    EXPECT_EQ(nullptr, vm.mainClass);
    EXPECT_EQ(0, vm.classPath.size() + vm.bootPath.size() + vm.skipPath.size() +
                     vm.vmOptions.size() + vm.params.size() + vm.tempFiles.size());
    EXPECT_EQ(0, vm.shouldRestart());
}

TEST(JavaVm, RestartsOnlyOnANonZeroRestartCode) {
    recordingVm vm;
    vm.setExitCode(3);
    EXPECT_EQ(0, vm.shouldRestart());
    vm.setRestartCode(3);
    EXPECT_EQ(1, vm.shouldRestart());
    vm.setExitCode(0);
    vm.setRestartCode(0);
    EXPECT_EQ(0, vm.shouldRestart());
}

TEST(JavaVm, CreatePathJoinsWithTheSeparator) {
    recordingVm vm;
    ownedString empty(vm.createPath(&vm.classPath));
    EXPECT_STREQ("", empty.get());
    vm.addPath(copy("a.jar"));
    ownedString one(vm.createPath(&vm.classPath));
    EXPECT_STREQ("a.jar", one.get());
    vm.addPath(copy("b.jar"));
    vm.addPath(copy("c"));
    ownedString three(vm.createPath(&vm.classPath));
    EXPECT_STREQ("a.jar:b.jar:c", three.get());
}

TEST(JavaVm, ClassPathKeepsDuplicatesButNotBootEntriesIgnoringCase) {
    recordingVm vm;
    vm.addPath(copy("x.jar"));
    vm.addPath(copy("x.jar"));
    EXPECT_EQ("x.jar,x.jar", list(vm.classPath));
    vm.addBootPath(copy("/lib/A.jar"));
    vm.addPath(copy("/lib/a.jar"));
    EXPECT_EQ("x.jar,x.jar", list(vm.classPath));
    EXPECT_EQ("/lib/A.jar", list(vm.bootPath));
}

TEST(JavaVm, BootPathTakesOnlyTheFirstEqualClassPathEntry) {
    recordingVm vm;
    vm.addPath(copy("p"));
    vm.addPath(copy("p"));
    vm.addBootPath(copy("p"));
    EXPECT_EQ("p", list(vm.classPath));
    EXPECT_EQ("p", list(vm.bootPath));
}

TEST(JavaVm, SkipListBarsBothPaths) {
    recordingVm vm;
    vm.addPath(copy("s"));
    vm.addBootPath(copy("t"));
    vm.addSkipPath(copy("s"));
    EXPECT_EQ("", list(vm.classPath));
    EXPECT_EQ("t", list(vm.bootPath));
    EXPECT_EQ("s", list(vm.skipPath));
    vm.addPath(copy("S"));
    vm.addBootPath(copy("s"));
    EXPECT_EQ("", list(vm.classPath));
    EXPECT_EQ("t", list(vm.bootPath));
    vm.addSkipPath(copy("q"));
    vm.addSkipPath(copy("q"));
    EXPECT_EQ("s,q,q", list(vm.skipPath));
}

TEST(JavaVm, SkippedBootEntryStillLeavesTheClassPath) {
    recordingVm vm;
    vm.addSkipPath(copy("r"));
    vm.classPath.append(copy("r"));
    vm.addBootPath(copy("r"));
    EXPECT_EQ("", list(vm.classPath));
    EXPECT_EQ("", list(vm.bootPath));
}

TEST(JavaVm, MainClassUsesSlashesAndReplacesTheEarlierOne) {
    recordingVm vm;
    vm.setMainClass(copy("first.One"));
    vm.setMainClass(copy("org.demo.App"));
    EXPECT_STREQ("org/demo/App", vm.mainClass);
    vm.setJavaPath(copy("/a/java"));
    vm.setJavaPath(copy("/b/java"));
    EXPECT_STREQ("/b/java", vm.javaPath);
}

TEST(JavaVm, MigratesDashJParametersInOrder) {
    recordingVm vm;
    vm.addVmOption(copy("-Dk=v"));
    for (const char* p : {"-J-Xmx64m", "file.txt", "-Jfoo", "-J-Da=1", "-J-Db=2", "-", "-J"}) {
        vm.addParam(copy(p));
    }
    vm.migrateDashJ();
    EXPECT_EQ("-Dk=v,-Xmx64m,-Da=1,-Db=2", list(vm.vmOptions));
    EXPECT_EQ("file.txt,-Jfoo,-,-J", list(vm.params));
}

TEST(JavaVm, GetParamsIsAnIndependentCopy) {
    recordingVm vm;
    vm.addParam(copy("one"));
    vm.addParam(copy("two"));
    stringArray* params = vm.getParams();
    vm.clearParams();
    EXPECT_EQ(0, vm.params.size());
    EXPECT_EQ("one,two", list(*params));
    delete params;
}

TEST(JavaVm, DestructorDeletesTheTemporaryFiles) {
    scratchDir dir;
    std::string first = dir.write("one", "1");
    std::string second = dir.write("two", "2");
    {
        recordingVm vm;
        char* path = copy(first.c_str());
        vm.addTempFile(path);
        delete[] path;
        vm.addTempFile(dir.path("missing").c_str());
        vm.addTempFile(second.c_str());
    }
    EXPECT_NE(0, access(first.c_str(), F_OK));
    EXPECT_NE(0, access(second.c_str(), F_OK));
}
