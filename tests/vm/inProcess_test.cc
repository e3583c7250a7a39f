#include "processSupport.h"
#include "runtime/jvmLibrary.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

// Each case runs the in-process runner on the real runtime, in a driver
// process of its own (see inProcessDriver.cc).

namespace {
const std::string realJava = LARKWIN_TEST_JAVA;
const std::string appJar = LARKWIN_TEST_APP_JAR;
const std::string associationJar = LARKWIN_TEST_ASSOCIATION_JAR;

processResult runDriver(const scratchDir& dir, const std::string& name, const std::string& java,
                        std::vector<std::string> files = {}) {
    std::vector<std::string> words = {LARKWIN_IN_PROCESS_DRIVER, name, java, appJar,
                                      associationJar};
    words.insert(words.end(), files.begin(), files.end());
    return runForked(dir, [&] {
        std::vector<char*> argv;
        for (std::string& word : words) {
            argv.push_back(&word[0]);
        }
        argv.push_back(nullptr);
        // The VM handles SIGSEGV and SIGFPE itself, and keeps memory that the
        // leak checker would count.
        setenv("ASAN_OPTIONS",
               "handle_segv=0:handle_sigbus=0:handle_sigfpe=0:allow_user_segv_handler=1:"
               "detect_leaks=0",
               1);
        execv(argv[0], argv.data());
        return 126;
    });
}

std::string linkedJava(const scratchDir& dir) {
    dir.mkdir("bin");
    std::string link = dir.path("bin/java");
    symlink(realJava.c_str(), link.c_str());
    return link;
}

bool exists(const std::string& path) {
    return access(path.c_str(), F_OK) == 0;
}
} // namespace

TEST(InProcess, MainGetsTheParametersAndTheEchoReadsLikeACommandLine) {
    scratchDir dir;
    std::string java = linkedJava(dir);
    processResult result = runDriver(dir, "params", java);
    EXPECT_EQ(0, result.status) << result.err;
    EXPECT_EQ(java + " -Djava.class.path=" + appJar +
                  " -Dlarkwin.test=set larkwin/test/PrintArgs one two words \n"
                  "larkwin.test=set\nargs=3\n[one]\n[two words]\n[]\n"
                  "run returned, exit code 0\n",
              result.out);
}

TEST(InProcess, OlderRuntimeLayoutIsFoundToo) {
    scratchDir dir;
    char* canonical = realpath(realJava.c_str(), nullptr);
    std::string home = canonical;
    free(canonical);
    home = home.substr(0, home.rfind("/bin/java"));
    std::string serverDir = "old/jre/lib/" + std::string(getRuntimeArchitecture()) + "/server";
    for (std::string made = ""; made != serverDir;) {
        size_t slash = serverDir.find('/', made.size() + 1);
        made = serverDir.substr(0, slash);
        dir.mkdir(made);
    }
    dir.mkdir("old/bin");
    dir.write("old/bin/java", "");
    symlink((home + "/lib/server/libjvm.so").c_str(), dir.path(serverDir + "/libjvm.so").c_str());
    processResult result = runDriver(dir, "plain", dir.path("old/bin/java"));
    EXPECT_EQ(0, result.status) << result.err;
    EXPECT_EQ("larkwin.test=null\nargs=0\nrun returned, exit code 0\n", result.out);
}

TEST(InProcess, SystemExitEndsTheProcessThroughTheHookAfterDeletingTemporaryFiles) {
    scratchDir dir;
    std::string first = dir.write("first.tmp", "x");
    std::string second = dir.write("second.tmp", "y");
    processResult result = runDriver(dir, "exit", realJava, {first, second});
    EXPECT_EQ(3, result.status) << result.err;
    EXPECT_EQ("exiting\n", result.out);
    EXPECT_FALSE(exists(first));
    EXPECT_FALSE(exists(second));
}

TEST(InProcess, ExitWithTheRestartCodeExecutesTheLauncherAgain) {
    scratchDir dir;
    std::string file = dir.write("env.tmp", "x");
    processResult result = runDriver(dir, "restart", realJava, {file});
    EXPECT_EQ(7, result.status) << result.err;
    EXPECT_EQ("exiting\nrestarted\n", result.out);
    EXPECT_FALSE(exists(file));
}

TEST(InProcess, ExceptionInMainIsDescribedAndTheExitCodeKept) {
    scratchDir dir;
    processResult result = runDriver(dir, "exception", realJava);
    EXPECT_EQ(5, result.status) << result.err;
    EXPECT_EQ("run returned, exit code 5\n", result.out);
    EXPECT_NE(std::string::npos,
              result.err.find("java.lang.IllegalStateException: expected failure"))
        << result.err;
    EXPECT_NE(std::string::npos, result.err.find("at larkwin.test.Throws.main")) << result.err;
}

TEST(InProcess, AssociationNativesAreRegisteredAndTraceInModifiedUtf8) {
    scratchDir dir;
    processResult result = runDriver(dir, "association", realJava);
    EXPECT_EQ(0, result.status) << result.err;
    EXPECT_EQ(realJava + " -Djava.class.path=" + appJar + ":" + associationJar +
                  " larkwin/test/Associate\n"
                  "checkAssociation(.txt, text/plain, (null), caf\xc3\xa9 "
                  "\xed\xa0\xbd\xed\xb8\x80)\n"
                  "check=false\n"
                  "addAssociation(.txt, text/plain, Text file, /usr/bin/edit)\n"
                  "added\n"
                  "run returned, exit code 0\n",
              result.out);
}

TEST(InProcess, UnrecognisedVmOptionMeansVmCreationFailed) {
    scratchDir dir;
    processResult result = runDriver(dir, "badOption", realJava);
    EXPECT_EQ(254, result.status) << result.err;
    EXPECT_EQ(realJava + " -Djava.class.path=" + appJar +
                  " -Xlarkwin-no-such-option larkwin/test/PrintArgsVM creation failed.\n",
              result.out);
    EXPECT_NE(std::string::npos, result.err.find("-Xlarkwin-no-such-option")) << result.err;
}

// The manifest's Add-Opens entries apply in process too: those of the
// runtime's modules become options, the others are left out and named.
TEST(InProcess, TheManifestsAddOpensEntriesThatTheRuntimeHasApply) {
    for (const char* name : {"opens", "closed"}) {
        scratchDir dir;
        processResult result = runDriver(dir, name, linkedJava(dir));
        bool opens = std::string(name) == "opens";
        EXPECT_EQ(0, result.status) << name << result.err;
        EXPECT_EQ(opens, result.out.find("java.lang is open\n") != std::string::npos) << result.out;
        EXPECT_EQ(!opens, result.err.find("InaccessibleObjectException") != std::string::npos)
            << result.err;
        EXPECT_EQ(opens, result.out.find(" --add-opens=java.base/java.lang=ALL-UNNAMED ") !=
                             std::string::npos)
            << result.out;
        EXPECT_NE(std::string::npos, result.out.find("addopens: left out jdk.nosuch/no.such: "))
            << result.out;
        EXPECT_EQ(std::string::npos, result.out.find("--add-opens=jdk.nosuch")) << result.out;
    }
}
