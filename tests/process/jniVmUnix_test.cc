#include "process/jniVmUnix.h"
#include "processSupport.h"
#include "unix/exePath.h"
#include "util/strings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {
const char* standIn = LARKWIN_STAND_IN_JAVA;

// A launch description with the stand-in as java and the main class set; the
// stand-in records its arguments in dir's "record".
struct launch {
    explicit launch(const scratchDir& dir) {
        vm.setJavaPath(createStringCopy(standIn));
        vm.setMainClass(createStringCopy("org.demo.App"));
        setenv("LARKWIN_STANDIN_RECORD", dir.path("record").c_str(), 1);
    }

    // Runs the description and reports its outcome as the process's status.
    int run() { return runPrintingFailure(vm) ? vm.getExitCode() : 254; }

    jniVmUnix vm;
};

} // namespace

TEST(JniVmUnix, MainClassIsCheckedBeforeTheRuntimeIsLookedFor) {
    environmentVariable home("JAVA_HOME", nullptr);
    environmentVariable path("PATH", "");
    jniVmUnix vm;
    EXPECT_EQ("Main class not defined.", thrownMessage([&] { vm.run(); }));
    EXPECT_EQ(nullptr, vm.javaPath);
    EXPECT_EQ(nullptr, vm.getJniCreateVmPtr(const_cast<char*>("/usr/bin/java")));
}

TEST(JniVmUnix, EveryEntryIsOneArgumentAndTheEchoPrecedesTheChildsOutput) {
    scratchDir dir;
    processResult result = runForked(dir, [&] {
        launch app(dir);
        app.vm.addPath(copyOf("/a/x y.jar"));
        app.vm.addPath(copyOf("/b/z.jar"));
        app.vm.addBootPath(copyOf("/boot/p q.jar"));
        app.vm.addVmOption(copyOf("-Dk=v w"));
        app.vm.addParam(copyOf("one"));
        app.vm.addParam(copyOf("two words"));
        app.vm.addParam(copyOf(""));
        setenv("LARKWIN_STANDIN_SAY", "stand-in ran\n", 1);
        debug = 1;
        return app.run();
    });
    EXPECT_EQ(0, result.status);
    EXPECT_EQ(std::string(standIn) +
                  "\n-cp\n/a/x y.jar:/b/z.jar\n-Xbootclasspath/p:/boot/p q.jar\n-Dk=v w\n"
                  "org/demo/App\none\ntwo words\n\n",
              readFile(dir.path("record")));
    EXPECT_EQ(std::string(standIn) +
                  " -classpath /a/x y.jar:/b/z.jar -Xbootclasspath/p:/boot/p q.jar -Dk=v w "
                  "org/demo/App one two words stand-in ran\n",
              result.out);
}

TEST(JniVmUnix, EmptyPathsGiveJustJavaAndTheMainClassAndNoEchoWithoutDebug) {
    scratchDir dir;
    processResult result = runForked(dir, [&] {
        launch app(dir);
        debug = 0;
        return app.run();
    });
    EXPECT_EQ(0, result.status);
    EXPECT_EQ(std::string(standIn) + "\norg/demo/App\n", readFile(dir.path("record")));
    EXPECT_EQ("", result.out);
}

TEST(JniVmUnix, ChildsExitStatusIsRecordedAndDecidesTheRestart) {
    for (int status : {0, 3}) {
        scratchDir dir;
        processResult result = runForked(dir, [&] {
            launch app(dir);
            app.vm.setRestartCode(status == 0 ? 0 : 3);
            setenv("LARKWIN_STANDIN_EXIT", std::to_string(status).c_str(), 1);
            int code = app.run();
            printf("restart %d", app.vm.shouldRestart());
            return code;
        });
        EXPECT_EQ(status, result.status);
        EXPECT_EQ(status == 3 ? "restart 1" : "restart 0", result.out);
    }
}

TEST(JniVmUnix, DiscoveredJavaIsRunAndKept) {
    scratchDir dir;
    dir.mkdir("jre");
    dir.mkdir("jre/bin");
    ASSERT_EQ(0, symlink(standIn, dir.path("jre/bin/java").c_str()));
    processResult result = runForked(dir, [&] {
        launch app(dir);
        app.vm.setJavaPath(nullptr);
        setenv("JAVA_HOME", dir.path("jre").c_str(), 1);
        int code = app.run();
        printf("%s", app.vm.javaPath);
        return code;
    });
    EXPECT_EQ(0, result.status);
    EXPECT_EQ(dir.path("jre/bin/java"), result.out);
    EXPECT_EQ(dir.path("jre/bin/java") + "\norg/demo/App\n", readFile(dir.path("record")));
}

// A runtime home whose java is a copy of the stand-in (a link would lead to
// the stand-in's own directory) and whose release file names version, if any.
static std::string runtimeHome(const scratchDir& dir, const char* version) {
    dir.mkdir("jdk");
    dir.mkdir("jdk/bin");
    std::string java = dir.write("jdk/bin/java", readFile(standIn));
    chmod(java.c_str(), 0755);
    if (version != nullptr) {
        dir.write("jdk/release",
                  std::string("IMPLEMENTOR=\"x\"\nJAVA_VERSION=\"") + version + "\"\n");
    }
    return java;
}

TEST(JniVmUnix, BootPathIsAppendedOnJava9AndLaterAndPrependedOtherwise) {
    struct {
        const char* version;
        const char* option;
    } cases[] = {{"17.0.9", "-Xbootclasspath/a:"},
                 {"9", "-Xbootclasspath/a:"},
                 {"1.8.0_392", "-Xbootclasspath/p:"},
                 {"", "-Xbootclasspath/p:"},
                 {nullptr, "-Xbootclasspath/p:"}};
    for (auto& c : cases) {
        scratchDir dir;
        std::string java = runtimeHome(dir, c.version);
        processResult result = runForked(dir, [&] {
            launch app(dir);
            app.vm.setJavaPath(copyOf(java.c_str()));
            app.vm.addBootPath(copyOf("/boot/x.jar"));
            app.vm.addBootPath(copyOf("/boot/y.jar"));
            return app.run();
        });
        ASSERT_EQ(0, result.status);
        EXPECT_EQ(java + "\n" + c.option + "/boot/x.jar:/boot/y.jar\norg/demo/App\n",
                  readFile(dir.path("record")))
            << (c.version != nullptr ? c.version : "no release file");
    }
}

static std::string longClassPath() {
    std::string path;
    for (int i = 0; i < 4000; i++) {
        path += (i > 0 ? ":" : "") + std::string("/opt/app/lib/library-") + std::to_string(i) +
                "-1.2.3.jar";
    }
    return path;
}

TEST(JniVmUnix, LongClassPathGoesToAnArgumentFileThatIsEchoedAndRemoved) {
    scratchDir dir;
    std::string java = runtimeHome(dir, "17");
    std::string classPath = longClassPath();
    processResult result = runForked(dir, [&] {
        launch app(dir);
        app.vm.setJavaPath(copyOf(java.c_str()));
        app.vm.addPath(copyOf(classPath.c_str()));
        app.vm.addVmOption(copyOf("-Dk=v"));
        app.vm.addParam(copyOf("one"));
        setenv("LARKWIN_STANDIN_ARGFILES", dir.path("argfiles").c_str(), 1);
        debug = 1;
        return app.run();
    });
    ASSERT_EQ(0, result.status) << result.err;
    std::string record = readFile(dir.path("record"));
    std::string file =
        record.substr(java.size() + 2, record.find('\n', java.size() + 1) - java.size() - 2);
    EXPECT_EQ(java + "\n@" + file + "\n-Dk=v\norg/demo/App\none\n", record);
    EXPECT_EQ(0u, file.find("/tmp/larkwin-args-")) << file;
    std::string text = "\"-cp\"\n\"" + classPath + "\"\n";
    EXPECT_EQ(text, readFile(dir.path("argfiles")));
    EXPECT_EQ("Arguments too long for the command line, in " + file + ":\n" + text + java + " @" +
                  file + " -Dk=v org/demo/App one",
              result.out);
    EXPECT_EQ(-1, access(file.c_str(), F_OK));
}

TEST(JniVmUnix, ArgumentFileHoldsTheRunFromTheFirstToTheLastLongOption) {
    scratchDir dir;
    std::string java = runtimeHome(dir, "21");
    std::string longOption = "-Dlong=" + std::string(200000, 'v');
    processResult result = runForked(dir, [&] {
        launch app(dir);
        app.vm.setJavaPath(copyOf(java.c_str()));
        app.vm.addPath(copyOf("/a.jar"));
        for (const char* option : {"-Da", "long", "-Db", "long", "-Dc"}) {
            app.vm.addVmOption(copyOf(strcmp(option, "long") == 0 ? longOption.c_str() : option));
        }
        setenv("LARKWIN_STANDIN_ARGFILES", dir.path("argfiles").c_str(), 1);
        return app.run();
    });
    ASSERT_EQ(0, result.status) << result.err;
    std::string record = readFile(dir.path("record"));
    EXPECT_EQ(0u, record.find(java + "\n-cp\n/a.jar\n-Da\n@/tmp/larkwin-args-"));
    EXPECT_NE(std::string::npos, record.find("\n-Dc\norg/demo/App\n")) << record.substr(0, 200);
    EXPECT_EQ("\"" + longOption + "\"\n\"-Db\"\n\"" + longOption + "\"\n",
              readFile(dir.path("argfiles")));
}

TEST(JniVmUnix, LongArgumentsStayOnTheCommandLineForOlderRuntimesAndAfterTheMainClass) {
    std::string longText = std::string(200000, 'x');
    for (const char* version : {"1.8.0_392", "17"}) {
        scratchDir dir;
        std::string java = runtimeHome(dir, version);
        processResult result = runForked(dir, [&] {
            launch app(dir);
            app.vm.setJavaPath(copyOf(java.c_str()));
            if (version[0] == '1' && version[1] == '.') {
                app.vm.addPath(copyOf(longText.c_str()));
            } else {
                app.vm.addParam(copyOf(longText.c_str()));
            }
            return app.run();
        });
        EXPECT_EQ(127, result.status) << version;
        EXPECT_EQ("Unable to execute " + java + ": Argument list too long\n", result.err);
    }
}
