#include "testSupport.h"
#include "util/strings.h"
#include "vm/javaVm.h"

#include <gtest/gtest.h>

namespace {
class recordingVm : public javaVm {
  public:
    void run() override {}
};

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
    vm.addPath(copyOf("a.jar"));
    ownedString one(vm.createPath(&vm.classPath));
    EXPECT_STREQ("a.jar", one.get());
    vm.addPath(copyOf("b.jar"));
    vm.addPath(copyOf("c"));
    ownedString three(vm.createPath(&vm.classPath));
    EXPECT_STREQ("a.jar:b.jar:c", three.get());
}

TEST(JavaVm, ClassPathKeepsDuplicatesButNotBootEntriesIgnoringCase) {
    recordingVm vm;
    vm.addPath(copyOf("x.jar"));
    vm.addPath(copyOf("x.jar"));
    EXPECT_EQ("x.jar|x.jar", joined(vm.classPath));
    vm.addBootPath(copyOf("/lib/A.jar"));
    vm.addPath(copyOf("/lib/a.jar"));
    EXPECT_EQ("x.jar|x.jar", joined(vm.classPath));
    EXPECT_EQ("/lib/A.jar", joined(vm.bootPath));
}

TEST(JavaVm, BootPathTakesOnlyTheFirstEqualClassPathEntry) {
    recordingVm vm;
    vm.addPath(copyOf("p"));
    vm.addPath(copyOf("p"));
    vm.addBootPath(copyOf("p"));
    EXPECT_EQ("p", joined(vm.classPath));
    EXPECT_EQ("p", joined(vm.bootPath));
}

TEST(JavaVm, SkipListBarsBothPaths) {
    recordingVm vm;
    vm.addPath(copyOf("s"));
    vm.addBootPath(copyOf("t"));
    vm.addSkipPath(copyOf("s"));
    EXPECT_EQ("", joined(vm.classPath));
    EXPECT_EQ("t", joined(vm.bootPath));
    EXPECT_EQ("s", joined(vm.skipPath));
    vm.addPath(copyOf("S"));
    vm.addBootPath(copyOf("s"));
    EXPECT_EQ("", joined(vm.classPath));
    EXPECT_EQ("t", joined(vm.bootPath));
    vm.addSkipPath(copyOf("q"));
    vm.addSkipPath(copyOf("q"));
    EXPECT_EQ("s|q|q", joined(vm.skipPath));
}

TEST(JavaVm, SkippedBootEntryStillLeavesTheClassPath) {
    recordingVm vm;
    vm.addSkipPath(copyOf("r"));
    vm.classPath.append(copyOf("r"));
    vm.addBootPath(copyOf("r"));
    EXPECT_EQ("", joined(vm.classPath));
    EXPECT_EQ("", joined(vm.bootPath));
}

TEST(JavaVm, MainClassUsesSlashesAndReplacesTheEarlierOne) {
    recordingVm vm;
    vm.setMainClass(copyOf("first.One"));
    vm.setMainClass(copyOf("org.demo.App"));
    EXPECT_STREQ("org/demo/App", vm.mainClass);
    vm.setJavaPath(copyOf("/a/java"));
    vm.setJavaPath(copyOf("/b/java"));
    EXPECT_STREQ("/b/java", vm.javaPath);
}

TEST(JavaVm, MigratesDashJParametersInOrder) {
    recordingVm vm;
    vm.addVmOption(copyOf("-Dk=v"));
    for (const char* p : {"-J-Xmx64m", "file.txt", "-Jfoo", "-J-Da=1", "-J-Db=2", "-", "-J"}) {
        vm.addParam(copyOf(p));
    }
    vm.migrateDashJ();
    EXPECT_EQ("-Dk=v|-Xmx64m|-Da=1|-Db=2", joined(vm.vmOptions));
    EXPECT_EQ("file.txt|-Jfoo|-|-J", joined(vm.params));
}

TEST(JavaVm, FirstParamsLeadInTheirOwnOrderWhateverIsAddedAround) {
    recordingVm vm;
    vm.addParam(copyOf("user"));
    vm.addFirstParam(copyOf("f1"));
    vm.addParam(copyOf("added"));
    vm.addFirstParam(copyOf("f2"));
    EXPECT_EQ("f1|f2|user|added", joined(vm.params));
    EXPECT_EQ(2, vm.getFirstParamCount());
}

TEST(JavaVm, ClearParamsForgetsTheFirstParamsToo) {
    recordingVm vm;
    vm.addFirstParam(copyOf("old"));
    vm.addParam(copyOf("user"));
    vm.clearParams();
    vm.addParam(copyOf("added"));
    vm.addFirstParam(copyOf("new"));
    EXPECT_EQ("new|added", joined(vm.params));
    EXPECT_EQ(1, vm.getFirstParamCount());
}

// A first parameter that becomes a VM option no longer counts as one.
TEST(JavaVm, MigratingADashJFirstParamKeepsTheCountRight) {
    recordingVm vm;
    vm.addParam(copyOf("-J-Duser=1"));
    vm.addFirstParam(copyOf("-J-Xmx1m"));
    vm.addFirstParam(copyOf("--fixed"));
    vm.migrateDashJ();
    EXPECT_EQ("-Xmx1m|-Duser=1", joined(vm.vmOptions));
    EXPECT_EQ("--fixed", joined(vm.params));
    EXPECT_EQ(1, vm.getFirstParamCount());
}

TEST(JavaVm, GetParamsIsAnIndependentCopy) {
    recordingVm vm;
    vm.addParam(copyOf("one"));
    vm.addParam(copyOf("two"));
    stringArray* params = vm.getParams();
    vm.clearParams();
    EXPECT_EQ(0, vm.params.size());
    EXPECT_EQ("one|two", joined(*params));
    delete params;
}

TEST(JavaVm, DestructorDeletesTheTemporaryFiles) {
    scratchDir dir;
    std::string first = dir.write("one", "1");
    std::string second = dir.write("two", "2");
    {
        recordingVm vm;
        char* path = copyOf(first.c_str());
        vm.addTempFile(path);
        delete[] path;
        vm.addTempFile(dir.path("missing").c_str());
        vm.addTempFile(second.c_str());
    }
    EXPECT_NE(0, access(first.c_str(), F_OK));
    EXPECT_NE(0, access(second.c_str(), F_OK));
}
