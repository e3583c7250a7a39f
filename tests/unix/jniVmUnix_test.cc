#include "processSupport.h"
#include "unix/exePath.h"
#include "unix/jniVmUnix.h"
#include "util/strings.h"

#include <gtest/gtest.h>

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
