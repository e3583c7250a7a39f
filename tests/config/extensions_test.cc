// "expand", "firstparam" and "tryinclude": lines that only mean something to
// a reader that knows them, and change nothing for a text without them.

#include "config/parseChain.h"
#include "configTestSupport.h"
#include "processSupport.h"

#include <gtest/gtest.h>

namespace {

// What parsing dir/app.config, holding text, printed with +DEBUG.
std::string debugOutput(testVm* vm, const scratchDir& dir, const std::string& text) {
    debugFlag on(1);
    std::string file = dir.write("app.config", text);
    return outputOf([&] { parseFile(vm, file); }).out;
}

} // namespace

TEST(Expand, WithoutExpandDollarsAreOrdinaryText) {
    scratchDir dir;
    testVm vm;
    parseFile(&vm, dir.write("app.config", "vmparam -Dh=${config.dir}\naddparam $HOME $$ ${\n"
                                           "addpath ${x}/a.jar\n"));
    EXPECT_EQ("-Dh=${config.dir}", joined(vm.vmOptions));
    EXPECT_EQ("$HOME $$ ${", joined(vm.params));
    EXPECT_EQ(dir.path("${x}/a.jar"), joined(vm.classPath));
}

TEST(Expand, AppliesFromTheNextLineToTheEndOfItsFile) {
    scratchDir dir;
    testVm vm;
    parseFile(&vm, dir.write("app.config", "addparam ${config.dir}\nexpand\n"
                                           "addparam ${config.dir}\n# ${unknown} in a comment\n"
                                           "\naddparam $$\n"));
    EXPECT_EQ("${config.dir}|" + dir.root + "|$", joined(vm.params));
}

// An expanded path is then used as any argument would be: an absolute one as
// it stands, a relative one against the reader's directory.
TEST(Expand, ExpandedArgumentsAreResolvedLikeWrittenOnes) {
    scratchDir dir;
    testVm vm;
    environmentVariable lib("LARKWIN_TEST_LIB", "lib");
    environmentVariable java("LARKWIN_TEST_JAVA", "/opt/jdk/bin/java");
    parseFile(&vm, dir.write("app.config", "expand\naddpath ${env:LARKWIN_TEST_LIB}/a.jar\n"
                                           "addpath ${config.dir}/../b.jar\n"
                                           "javapath ${env:LARKWIN_TEST_JAVA}\n"));
    EXPECT_EQ(dir.path("lib/a.jar") + "|" + dir.root + "/../b.jar", joined(vm.classPath));
    EXPECT_STREQ("/opt/jdk/bin/java", vm.javaPath);
}

TEST(Expand, EveryDirectivesArgumentIsExpanded) {
    scratchDir dir;
    testVm vm;
    environmentVariable code("LARKWIN_TEST_CODE", "7");
    environmentVariable main("LARKWIN_TEST_MAIN", "org.demo.App");
    environmentVariable copied("LARKWIN_TEST_7", "seven");
    dir.write("inc.config", "addparam included");
    parseFile(&vm, dir.write("app.config", "expand\nmainclass ${env:LARKWIN_TEST_MAIN}\n"
                                           "restartcode ${env:LARKWIN_TEST_CODE}\n"
                                           "socket 4${env:LARKWIN_TEST_CODE}\n"
                                           "vmparam -javaagent:${config.dir}/agent.jar=x$$y\n"
                                           "firstparam --home=${config.dir}\n"
                                           "include ${config.dir}/inc.config\n"
                                           "copyenv LARKWIN_TEST_${env:LARKWIN_TEST_CODE}\n"
                                           "javasearch ${config.dir}/runtimes\n"));
    EXPECT_STREQ("org/demo/App", vm.mainClass);
    EXPECT_EQ(7, vm.restartCode);
    EXPECT_EQ(47, vm.getSocketPort());
    EXPECT_EQ("-Dlarkwin.socket=47|-javaagent:" + dir.root + "/agent.jar=x$y" +
                  "|-Dlarkwin.copyenv.LARKWIN_TEST_7=seven",
              joined(vm.vmOptions));
    EXPECT_EQ("--home=" + dir.root + "|included", joined(vm.params));
    EXPECT_EQ(dir.path("runtimes"), joined(vm.javaSearchDirs));
}

// Expansion belongs to the file that asked for it: an included file reads its
// own text literally unless it says "expand" itself, and its "expand" ends
// with it.
TEST(Expand, IsNotInheritedByIncludesAndDoesNotLeakOutOfThem) {
    scratchDir dir;
    testVm vm;
    dir.mkdir("sub");
    dir.write("sub/literal.config", "addparam ${config.dir}");
    dir.write("sub/own.config", "expand\naddparam ${config.dir}");
    dir.write("outer.config", "include sub/own.config\naddparam ${config.dir}\n");
    parseFile(&vm, dir.write("app.config", "expand\ninclude ${config.dir}/sub/literal.config\n"
                                           "include outer.config\naddparam ${config.dir}\n"));
    EXPECT_EQ("${config.dir}|" + dir.path("sub") + "|${config.dir}|" + dir.root, joined(vm.params));
}

TEST(Expand, DirectoryDirectivesCollectFromTheExpandedDirectory) {
    scratchDir dir;
    testVm vm;
    dir.mkdir("lib");
    dir.mkdir("conf.d");
    dir.write("lib/a.jar", "");
    dir.write("conf.d/one.config", "addparam one");
    parseFile(&vm, dir.write("app.config", "expand\naddjars ${config.dir}/lib\n"
                                           "includedir ${config.dir}/conf.d\n"));
    EXPECT_EQ(dir.path("lib/a.jar"), joined(vm.classPath));
    EXPECT_EQ("one", joined(vm.params));
}

// A "$" in a value is the value's own: a directory named with one is not read
// as a name, and "$$" in a relative path gives one "$" before resolving.
TEST(Expand, DollarsInValuesAndInResolvedPathsStayAsTheyAre) {
    scratchDir dir;
    testVm vm;
    dir.mkdir("a${b}$");
    std::string file = dir.write("a${b}$/app.config", "expand\naddparam ${config.dir}\n"
                                                      "addpath x$$y.jar\n");
    parseFile(&vm, file);
    EXPECT_EQ(dir.path("a${b}$"), joined(vm.params));
    EXPECT_EQ(dir.path("a${b}$/x$y.jar"), joined(vm.classPath));
}

TEST(Expand, ConfigDirOfEmbeddedTextIsTheExecutablesDirectory) {
    scratchDir dir;
    testVm vm;
    parseText(&vm, dir.path("app"), "expand\nvmparam -Dapp.home=${config.dir}/..");
    EXPECT_EQ("-Dapp.home=" + dir.root + "/..", joined(vm.vmOptions));
}

TEST(Expand, AFailureStopsTheParseAndKeepsWhatCameBefore) {
    scratchDir dir;
    testVm vm;
    std::string file = dir.write("app.config", "expand\naddparam a\naddparam ${nope}\naddparam b");
    EXPECT_EQ(0u, parseFailure(&vm, file).find("Unknown expansion '${nope}' (known: "));
    EXPECT_EQ("a", joined(vm.params));
}

TEST(Expand, TakesNoArgument) {
    scratchDir dir;
    testVm vm;
    std::string file = dir.write("app.config", "expand all\naddparam ${config.dir}");
    EXPECT_EQ("Malformed expand 'all': expand stands alone on its line", parseFailure(&vm, file));
    EXPECT_EQ(0, vm.params.size());
}

TEST(Expand, DebugShowsEachLineThatHeldADollarAsExpanded) {
    scratchDir dir;
    testVm vm;
    std::string output = debugOutput(&vm, dir,
                                     "addparam ${literal}\nexpand\naddparam plain\n"
                                     "vmparam -Dh=${config.dir}  \naddparam $$\n");
    EXPECT_EQ("expand: on for the rest of '" + dir.path("app.config") + "'\n" +
                  "expand: vmparam -Dh=" + dir.root + "\nexpand: addparam $\n",
              output);
}

TEST(Expand, DebugIsSilentWithoutExpand) {
    scratchDir dir;
    testVm vm;
    dir.write("present.config", "addparam ${included}");
    EXPECT_EQ("", debugOutput(&vm, dir, "addparam ${literal}\ntryinclude present.config\n"));
    EXPECT_EQ("${literal}|${included}", joined(vm.params));
}

TEST(FirstParam, LeadsInLineOrderBeforeTheCommandLineAndAddparam) {
    scratchDir dir;
    testVm vm;
    vm.addParam(copyOf("user"));
    parseFile(&vm, dir.write("app.config", "addparam added\nfirstparam one\nfirstparam two words\n"
                                           "firstparam\n"));
    EXPECT_EQ("one|two words||user|added", joined(vm.params));
    EXPECT_EQ(3, vm.getFirstParamCount());
}

TEST(FirstParam, ClearparamsRemovesFirstParamsToo) {
    scratchDir dir;
    testVm vm;
    vm.addParam(copyOf("user"));
    parseFile(&vm, dir.write("app.config", "firstparam old\nclearparams\naddparam added\n"
                                           "firstparam new\n"));
    EXPECT_EQ("new|added", joined(vm.params));
}

TEST(TryInclude, AnExistingFileIsIncludedAsIncludeWould) {
    scratchDir dir;
    testVm vm;
    dir.mkdir("sub");
    dir.write("sub/there.config", "addpath lib\naddparam there");
    parseFile(&vm, dir.write("app.config", "tryinclude sub/there.config\naddparam after"));
    EXPECT_EQ("there|after", joined(vm.params));
    EXPECT_EQ(dir.path("sub/lib"), joined(vm.classPath));
}

TEST(TryInclude, MissingFilesAndDanglingLinksAreSkippedAndDebugSaysSo) {
    scratchDir dir;
    testVm vm;
    ASSERT_EQ(0, symlink("gone.config", dir.path("dangling.config").c_str()));
    dir.write("file", "");
    // A file where a directory would be: HOME=/dev/null, ~/.config/NAME a file.
    std::string output = debugOutput(&vm, dir,
                                     "tryinclude missing.config\ntryinclude dangling.config\n"
                                     "tryinclude nodir/x.config\ntryinclude file/below.config\n"
                                     "tryinclude /dev/null/.config/app/app.config\n"
                                     "addparam after\n");
    EXPECT_EQ("after", joined(vm.params));
    EXPECT_EQ("tryinclude: '" + dir.path("missing.config") + "' does not exist; skipped\n" +
                  "tryinclude: '" + dir.path("dangling.config") + "' does not exist; skipped\n" +
                  "tryinclude: '" + dir.path("nodir/x.config") + "' does not exist; skipped\n" +
                  "tryinclude: '" + dir.path("file/below.config") + "' does not exist; skipped\n" +
                  "tryinclude: '/dev/null/.config/app/app.config' does not exist; skipped\n",
              output);
}

// Only absence is forgiven: everything else fails as "include" fails.
TEST(TryInclude, OtherFailuresAreReportedAsIncludeReportsThem) {
    scratchDir dir;
    dir.mkdir("adir");
    dir.write("file", "");
    std::string writable = dir.write("writable.config", "addparam x");
    chmod(writable.c_str(), 0666);
    dir.write("self.config", "tryinclude self.config");
    for (const char* target : {"adir", "writable.config", "self.config"}) {
        testVm included, tried;
        std::string viaInclude =
            parseFailure(&included, dir.write("a.config", std::string("include ") + target));
        std::string viaTry =
            parseFailure(&tried, dir.write("b.config", std::string("tryinclude ") + target));
        EXPECT_NE("", viaInclude) << target;
        EXPECT_EQ(viaInclude, viaTry) << target;
    }
}

TEST(TryInclude, ItsPathMayBeExpanded) {
    scratchDir dir;
    testVm vm;
    dir.mkdir("xdg");
    dir.mkdir("xdg/app");
    dir.write("xdg/app/user.config", "vmparam -Xmx2g");
    environmentVariable xdg("XDG_CONFIG_HOME", dir.path("xdg").c_str());
    parseFile(&vm, dir.write("app.config", "expand\ntryinclude ${xdg.config.home}/app/user.config\n"
                                           "tryinclude ${xdg.config.home}/other/user.config\n"));
    EXPECT_EQ("-Xmx2g", joined(vm.vmOptions));
}

// A service with ProtectHome=yes, or nobody with HOME=/root: what may not be
// reached counts as absent, what may not be read is skipped with one line.
TEST(TryInclude, WhatTheUserMayNotReachIsSkippedAndAnUnreadableFileIsNamed) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to run as another user";
    }
    scratchDir dir;
    chmod(dir.root.c_str(), 0755);
    dir.mkdir("closed");
    chmod(dir.path("closed").c_str(), 0700);
    dir.write("closed/app.config", "addparam hidden");
    std::string unreadable = dir.write("unreadable.config", "addparam secret");
    chmod(unreadable.c_str(), 0600);
    std::string app = dir.write("app.config", "tryinclude closed/app.config\n"
                                              "tryinclude unreadable.config\naddparam after\n");
    chmod(app.c_str(), 0644);
    processResult result = runForked(dir, [&] {
        if (setgid(65534) != 0 || setuid(65534) != 0) {
            return 3;
        }
        debugFlag flag(1);
        testVm vm;
        parseFile(&vm, app);
        printf("params: %s\n", joined(vm.params).c_str());
        return 0;
    });
    EXPECT_EQ(0, result.status) << result.err;
    EXPECT_EQ("tryinclude: '" + dir.path("closed/app.config") +
                  "' cannot be reached (Permission denied); skipped\nparams: after\n",
              result.out);
    EXPECT_EQ("Not reading '" + unreadable + "': Permission denied\n", result.err);
}
