#include "processSupport.h"
#include "unix/exePath.h"
#include "unix/jniVmUnix.h"
#include "util/strings.h"

#include <csignal>
#include <gtest/gtest.h>
#include <poll.h>

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
    int run() {
        try {
            vm.run();
        } catch (char* message) {
            printf("%s\n", message);
            delete[] message;
            return 254;
        }
        return vm.getExitCode();
    }

    jniVmUnix vm;
};

char* copy(const char* s) {
    return createStringCopy(s);
}
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
        app.vm.addPath(copy("/a/x y.jar"));
        app.vm.addPath(copy("/b/z.jar"));
        app.vm.addBootPath(copy("/boot/p q.jar"));
        app.vm.addVmOption(copy("-Dk=v w"));
        app.vm.addParam(copy("one"));
        app.vm.addParam(copy("two words"));
        app.vm.addParam(copy(""));
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

TEST(JniVmUnix, JavaThatCannotBeExecutedGives127AndOneLineOnStandardError) {
    scratchDir dir;
    std::string missing = dir.path("missing/java");
    processResult result = runForked(dir, [&] {
        launch app(dir);
        app.vm.setJavaPath(copy(missing.c_str()));
        int code = app.run();
        printf("recorded %d\n", code);
        return code;
    });
    EXPECT_EQ(127, result.status);
    EXPECT_EQ("recorded 127\n", result.out);
    EXPECT_EQ("Unable to execute " + missing + ": No such file or directory\n", result.err);
}

TEST(JniVmUnix, ChildEndedBySignalIsRecordedAs128PlusTheSignal) {
    scratchDir dir;
    processResult result = runForked(dir, [&] {
        launch app(dir);
        setenv("LARKWIN_STANDIN_RAISE", std::to_string(SIGUSR1).c_str(), 1);
        return app.run();
    });
    EXPECT_EQ(128 + SIGUSR1, result.status);
}

TEST(JniVmUnix, ChildStartsWithAnEmptyMaskAndTheDispositionsTheLauncherWasGiven) {
    scratchDir dir;
    processResult result = runForked(dir, [&] {
        launch app(dir);
        for (int sig : {SIGTERM, SIGINT, SIGQUIT, SIGUSR2, SIGCHLD}) {
            signal(sig, SIG_DFL);
        }
        // As under nohup: an ignored hangup stays ignored for the application.
        signal(SIGHUP, SIG_IGN);
        sigset_t blocked;
        sigemptyset(&blocked);
        sigaddset(&blocked, SIGUSR1);
        sigprocmask(SIG_BLOCK, &blocked, nullptr);
        setenv("LARKWIN_STANDIN_SIGNALS", dir.path("signals").c_str(), 1);
        return app.run();
    });
    EXPECT_EQ(0, result.status);
    std::string signals = readFile(dir.path("signals"));
    EXPECT_EQ(std::string::npos, signals.find("blocked")) << signals;
    EXPECT_NE(std::string::npos, signals.find(std::to_string(SIGHUP) + " ignored")) << signals;
    for (int sig : {SIGTERM, SIGINT, SIGQUIT, SIGUSR2, SIGCHLD}) {
        EXPECT_EQ(std::string::npos, signals.find(std::to_string(sig) + " ignored")) << signals;
    }
}

// Reads the stand-in's pid once it waits for its signal; 0 after 20 seconds.
static pid_t readyChild(int fd) {
    struct pollfd ready = {fd, POLLIN, 0};
    char text[32] = {};
    if (poll(&ready, 1, 20000) != 1 || read(fd, text, sizeof text - 1) <= 0) {
        return 0;
    }
    return atoi(text);
}

TEST(JniVmUnix, StopSignalsSentToTheLauncherReachTheChildWhoseStatusIsRecorded) {
    for (int sig : {SIGTERM, SIGHUP, SIGINT, SIGQUIT, SIGUSR1, SIGUSR2}) {
        scratchDir dir;
        int pipeEnds[2];
        ASSERT_EQ(0, pipe(pipeEnds));
        pid_t launcher = startForked(dir, [&] {
            close(pipeEnds[0]);
            launch app(dir);
            setenv("LARKWIN_STANDIN_AWAIT", std::to_string(sig).c_str(), 1);
            setenv("LARKWIN_STANDIN_READY_FD", std::to_string(pipeEnds[1]).c_str(), 1);
            setenv("LARKWIN_STANDIN_EXIT", "42", 1);
            return app.run();
        });
        close(pipeEnds[1]);
        pid_t javaChild = readyChild(pipeEnds[0]);
        close(pipeEnds[0]);
        ASSERT_NE(0, javaChild) << "signal " << sig;
        kill(launcher, sig);
        processResult result = finishForked(dir, launcher);
        ASSERT_EQ(42, result.status) << "signal " << sig;
        EXPECT_EQ(-1, kill(javaChild, 0)) << "signal " << sig;
        EXPECT_EQ(ESRCH, errno);
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
