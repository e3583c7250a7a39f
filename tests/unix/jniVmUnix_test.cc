#include "processSupport.h"
#include "unix/exePath.h"
#include "unix/jniVmUnix.h"
#include "util/strings.h"

#include <csignal>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

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

// Only Linux has a parent-death signal.
#ifdef __linux__
TEST(JniVmUnix, ChildIsSentSigtermWhenTheLauncherIsKilled) {
    scratchDir dir;
    processResult result = runForked(dir, [&] {
        // Adopts the stand-in when the launcher below dies, to see how it ends.
        prctl(PR_SET_CHILD_SUBREAPER, 1);
        scratchDir inner;
        int pipeEnds[2];
        if (pipe(pipeEnds) != 0) {
            return 1;
        }
        pid_t launcher = startForked(inner, [&] {
            close(pipeEnds[0]);
            launch app(inner);
            setenv("LARKWIN_STANDIN_AWAIT", std::to_string(SIGTERM).c_str(), 1);
            setenv("LARKWIN_STANDIN_READY_FD", std::to_string(pipeEnds[1]).c_str(), 1);
            setenv("LARKWIN_STANDIN_EXIT", "42", 1);
            return app.run();
        });
        close(pipeEnds[1]);
        pid_t javaChild = readyChild(pipeEnds[0]);
        if (javaChild == 0) {
            return 2;
        }
        kill(launcher, SIGKILL);
        finishForked(inner, launcher);
        int status = 0;
        while (waitpid(javaChild, &status, 0) < 0 && errno == EINTR) {
        }
        // The stand-in exits with 42 on SIGTERM; its alarm ends it otherwise.
        return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
    });
    EXPECT_EQ(42, result.status);
}
#endif

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
            app.vm.setJavaPath(copy(java.c_str()));
            app.vm.addBootPath(copy("/boot/x.jar"));
            app.vm.addBootPath(copy("/boot/y.jar"));
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
        app.vm.setJavaPath(copy(java.c_str()));
        app.vm.addPath(copy(classPath.c_str()));
        app.vm.addVmOption(copy("-Dk=v"));
        app.vm.addParam(copy("one"));
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
        app.vm.setJavaPath(copy(java.c_str()));
        app.vm.addPath(copy("/a.jar"));
        for (const char* option : {"-Da", "long", "-Db", "long", "-Dc"}) {
            app.vm.addVmOption(copy(strcmp(option, "long") == 0 ? longOption.c_str() : option));
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
            app.vm.setJavaPath(copy(java.c_str()));
            if (version[0] == '1' && version[1] == '.') {
                app.vm.addPath(copy(longText.c_str()));
            } else {
                app.vm.addParam(copy(longText.c_str()));
            }
            return app.run();
        });
        EXPECT_EQ(127, result.status) << version;
        EXPECT_EQ("Unable to execute " + java + ": Argument list too long\n", result.err);
    }
}
