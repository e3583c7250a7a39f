#include "cache/cacheAssembly.h"
#include "cache/cacheRecord.h"
#include "cache/startupCache.h"
#include "process/jniVmUnix.h"
#include "processSupport.h"
#include "util/strings.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <regex>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <vector>

// The assembly of a Java 25 archive, once the launch is done, by a java that
// stands in for the JDK's: a shell script that records how it was started,
// then does what the case needs of it.
namespace {

// Records its command line, its niceness, its session and where its standard
// error goes, then runs behaviour (shell text), in which "$out" is the path
// of the archive it was asked to write.
std::string standInJava(const std::string& behaviour) {
    return "#!/bin/sh\n"
           "d=$(dirname \"$0\")\n"
           "printf '%s\\n' \"$0\" \"$@\" > \"$d/dump-command\"\n"
           "{ nice; cut -d' ' -f6 /proc/$$/stat; readlink /proc/$$/fd/2; } > \"$d/dump-process\"\n"
           "for a in \"$@\"; do case \"$a\" in\n"
           "  -XX:SharedArchiveFile=*|-XX:AOTCache=*) out=\"${a#*=}\" ;;\n"
           "esac; done\n" +
           behaviour + "\n";
}

// What the JVM writes: a header that begins with the magic it writes last,
// and more than a page.
const char* const complete = "printf '\\242\\253\\013\\360' > \"$out\"\n"
                             "head -c 8192 /dev/zero >> \"$out\"";

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

// A Java 25 runtime that only looks like one, and a launch of org.demo.App
// on it that asks for the cache.
class CacheAssembly : public ::testing::Test {
  protected:
    void SetUp() override {
        dir.mkdir("jdk");
        dir.mkdir("jdk/bin");
        dir.mkdir("jdk/lib");
        dir.mkdir("jdk/lib/server");
        java = dir.path("jdk/bin/java");
        dir.write("jdk/release", "JAVA_VERSION=\"25.0.3\"\nJAVA_RUNTIME_VERSION=\"25.0.3+1\"\n");
        dir.write("jdk/lib/server/classes.jsa", "base");
        useJava(complete);
        cache = dir.path("cache");
        vm.setJavaPath(createStringCopy(java.c_str()));
        vm.setMainClass(createStringCopy("org.demo.App"));
        vm.setStartupCache(createStringCopy(cache.c_str()));
    }

    void useJava(const std::string& behaviour) {
        dir.write("jdk/bin/java", standInJava(behaviour));
        chmod(java.c_str(), 0755);
    }

    // A start that records its classes: the class list it was given, and
    // the archive they are for.
    std::string record(startupCache& start) {
        const stringArray& options = start.getOptions();
        EXPECT_EQ(1, options.size());
        std::string option = options.size() == 1 ? options[0] : "=";
        std::string list = option.substr(option.find('=') + 1);
        FILE* file = fopen(list.c_str(), "w");
        if (file != nullptr) {
            fputs("java/lang/Object id: 1\norg/demo/App id: 2\n", file);
            fclose(file);
        }
        archive = list.substr(0, list.find(".jsa") + 4);
        return list;
    }

    // The options of the next start, which sees what the assembly left.
    std::vector<std::string> nextOptions() {
        javaRuntime runtime(vm.javaPath);
        startupCache next(vm, runtime);
        std::vector<std::string> options;
        for (int i = 0; i < next.getOptions().size(); i++) {
            options.push_back(next.getOptions()[i]);
        }
        return options;
    }

    // A start that records and assembles in the foreground; its +DEBUG
    // output.
    std::string recordAndAssemble() {
        environmentVariable wait("LARKWIN_STARTUP_CACHE", "wait");
        processResult result = runForked(dir, [&] {
            debug = 1;
            javaRuntime runtime(vm.javaPath);
            startupCache first(vm, runtime);
            record(first);
            first.finish(0);
            return 0;
        });
        EXPECT_EQ(0, result.status) << result.err;
        takeArchiveFrom(result.out);
        return result.out;
    }

    // The archive that the first line of a forked start's +DEBUG output
    // names.
    void takeArchiveFrom(const std::string& out) {
        size_t start = out.find('\'') + 1;
        archive = out.substr(start, out.find('\'', start) - start);
    }

    std::string name(const std::string& path) const { return path.substr(cache.size() + 1); }

    scratchDir dir;
    std::string java;
    std::string cache;
    std::string archive;
    jniVmUnix vm;
};

TEST_F(CacheAssembly, TheDumpTakesTheLaunchsPathsAndOptionsButNothingThatWritesElsewhere) {
    vm.addPath(createStringCopy("/opt/app/a.jar"));
    vm.addPath(createStringCopy("/opt/app/b.jar"));
    vm.addBootPath(createStringCopy("/opt/app/boot.jar"));
    const char* options[] = {"-Dk=v", "-Xlog:gc:file=gc.txt", "-verbose:class",
                             "-Dlarkwin.exportenv=/tmp/dump", "-XX:+UseSerialGC"};
    for (const char* option : options) {
        vm.addVmOption(createStringCopy(option));
    }
    std::string out = recordAndAssemble();
    EXPECT_EQ("startupcache: recording the classes for '" + archive +
                  "'\nstartupcache: assembling '" + archive + "'\nstartupcache: assembled '" +
                  archive + "'\n",
              out);
    std::vector<std::string> command = linesOf(readFile(dir.path("jdk/bin/dump-command")));
    ASSERT_EQ(11u, command.size()) << readFile(dir.path("jdk/bin/dump-command"));
    std::vector<std::string> fixed(command.begin(), command.begin() + 8);
    EXPECT_EQ((std::vector<std::string>{java, "-cp", "/opt/app/a.jar:/opt/app/b.jar",
                                        "-Xbootclasspath/a:/opt/app/boot.jar", "-Dk=v",
                                        "-XX:+UseSerialGC",
                                        "-Xlog:aot*=off,cds*=off,class+path*=off", "-Xshare:dump"}),
              fixed);
    EXPECT_TRUE(std::regex_match(
        command[8], std::regex("-XX:SharedClassListFile=" + archive + "\\.\\w{6}\\.classlist")))
        << command[8];
    // Written under a name of its own beside the archive, then renamed.
    EXPECT_TRUE(std::regex_match(
        command[9], std::regex("-XX:SharedArchiveFile=" + archive + "\\.\\w{6}\\.tmp")))
        << command[9];
    EXPECT_EQ("-XX:+AOTClassLinking", command[10]);
    EXPECT_EQ(
        (std::set<std::string>{name(archive), name(archive) + ".info", name(archive) + ".lock"}),
        filesIn(cache));
    cacheRecord record;
    ASSERT_TRUE(record.read((archive + ".info").c_str()));
    EXPECT_EQ(2, record.classes);
    EXPECT_EQ("-XX:SharedArchiveFile=" + archive, nextOptions().at(1));
}

TEST_F(CacheAssembly, AJavaThatFailsLeavesNoArchiveAndTheNextStartRecordsAgain) {
    const char* failures[] = {
        "exit 1",
        // Complete, but the java says it failed.
        "printf '\\242\\253\\013\\360' > \"$out\"; head -c 8192 /dev/zero >> \"$out\"; exit 1",
        // Ended by a signal while it wrote.
        "printf '\\242\\253\\013\\360' > \"$out\"; kill -KILL $$",
        // Cut short: the magic the JVM writes last is not there.
        "head -c 8192 /dev/zero > \"$out\"",
        // Too small for an archive's header.
        "printf '\\242\\253\\013\\360' > \"$out\"",
        // A link, where the java should have written a file of its own.
        "printf '\\242\\253\\013\\360' > \"$d/real\"; head -c 8192 /dev/zero >> \"$d/real\"; "
        "ln -sf \"$d/real\" \"$out\"",
    };
    for (const char* failure : failures) {
        useJava(failure);
        std::string out = recordAndAssemble();
        EXPECT_NE(
            std::string::npos,
            out.find("startupcache: assembly left no complete archive for '" + archive + "'\n"))
            << failure << "\n"
            << out;
        EXPECT_EQ(std::set<std::string>{name(archive) + ".lock"}, filesIn(cache)) << failure;
        std::vector<std::string> next = nextOptions();
        ASSERT_EQ(1u, next.size()) << failure;
        EXPECT_EQ(0u, next[0].find("-XX:DumpLoadedClassList=")) << failure;
        unlink(next[0].substr(next[0].find('=') + 1).c_str());
    }
}

TEST_F(CacheAssembly, AJavaThatCannotBeRunLeavesNoArchive) {
    environmentVariable wait("LARKWIN_STARTUP_CACHE", "wait");
    processResult result = runForked(dir, [&] {
        debug = 1;
        javaRuntime runtime(vm.javaPath);
        startupCache first(vm, runtime);
        record(first);
        chmod(java.c_str(), 0644);
        first.finish(0);
        return 0;
    });
    EXPECT_EQ(0, result.status) << result.err;
    takeArchiveFrom(result.out);
    EXPECT_NE(
        std::string::npos,
        result.out.find("startupcache: assembly left no complete archive for '" + archive + "'\n"))
        << result.out;
    EXPECT_EQ(std::set<std::string>{name(archive) + ".lock"}, filesIn(cache));
}

TEST_F(CacheAssembly, OneAssemblyAtATimeAnotherStartsListIsDropped) {
    processResult result = runForked(dir, [&] {
        environmentVariable wait("LARKWIN_STARTUP_CACHE", "wait");
        debug = 1;
        javaRuntime runtime(vm.javaPath);
        startupCache first(vm, runtime);
        std::string list = record(first);
        int lock = open((archive + ".lock").c_str(), O_RDWR | O_CREAT, 0600);
        flock(lock, LOCK_EX);
        first.finish(0);
        struct stat status;
        return stat(list.c_str(), &status) == 0 ? 1 : 0;
    });
    EXPECT_EQ(0, result.status) << "the class list is removed";
    takeArchiveFrom(result.out);
    EXPECT_NE(
        std::string::npos,
        result.out.find("startupcache: not assembled: another start assembles '" + archive + "'\n"))
        << result.out;
    struct stat status;
    EXPECT_NE(0, stat(dir.path("jdk/bin/dump-command").c_str(), &status)) << "no java ran";
}

// Without "wait", the launcher is done before the archive is: a detached
// java of low priority, in a session of its own and with nothing on the
// terminal, holds the lock until it ends; a start meanwhile neither records
// nor maps.
TEST_F(CacheAssembly, ADetachedAssemblyHoldsTheLockUntilItsArchiveIsInPlace) {
    std::string go = dir.path("go");
    ASSERT_EQ(0, mkfifo(go.c_str(), 0600));
    useJava(std::string("read line < \"$d/../../go\"\n") + complete);
    processResult result = runForked(dir, [&] {
        debug = 1;
        {
            javaRuntime runtime(vm.javaPath);
            startupCache first(vm, runtime);
            record(first);
            first.finish(0);
        }
        int lock = open((archive + ".lock").c_str(), O_RDONLY);
        int held = flock(lock, LOCK_SH | LOCK_NB) != 0;
        size_t during = nextOptions().size();
        struct stat status;
        int early = stat(archive.c_str(), &status) == 0;
        int fifo = open(go.c_str(), O_WRONLY);
        (void)!write(fifo, "go\n", 3);
        close(fifo);
        // Returns once the assembling process has ended.
        flock(lock, LOCK_SH);
        close(lock);
        printf("held %d during %zu early %d after %s\n", held, during, early,
               nextOptions().at(1).c_str());
        return 0;
    });
    EXPECT_EQ(0, result.status) << result.err;
    takeArchiveFrom(result.out);
    EXPECT_NE(std::string::npos,
              result.out.find("startupcache: assembling '" + archive + "' after the launcher\n"))
        << result.out;
    EXPECT_NE(std::string::npos,
              result.out.find("startupcache: not recorded: '" + archive + "' is being assembled"))
        << result.out;
    EXPECT_NE(std::string::npos,
              result.out.find("held 1 during 0 early 0 after -XX:SharedArchiveFile=" + archive))
        << result.out;
    std::vector<std::string> process = linesOf(readFile(dir.path("jdk/bin/dump-process")));
    ASSERT_EQ(3u, process.size());
    EXPECT_EQ("19", process[0]);
    EXPECT_NE(std::to_string(getsid(0)), process[1]);
    EXPECT_EQ("/dev/null", process[2]);
}

// A training run's AOT configuration becomes an AOT cache in one run of the
// launch's java (-XX:AOTMode=create), put in place as a dumped archive is;
// the configuration goes whatever the java did.
TEST_F(CacheAssembly, AnAotConfigurationBecomesAnAotCache) {
    struct {
        const char* java;
        bool placed;
    } cases[] = {{complete, true}, {"exit 1", false}, {"head -c 8192 /dev/zero > \"$out\"", false}};
    for (const auto& c : cases) {
        useJava(c.java);
        mkdir(cache.c_str(), 0700);
        std::string target = cache + "/App-0123456789abcdef.jsa";
        std::string profile = target + ".AbCdEf.aotconf";
        dir.write(name(profile).insert(0, "cache/"), "configuration");
        stringArray dumpCommand;
        dumpCommand.append(createStringCopy(java.c_str()));
        dumpCommand.append(createStringCopy("-cp"));
        dumpCommand.append(createStringCopy("/opt/app/a.jar"));
        assemblyOrder order{};
        std::string recordPath = target + ".info", lockPath = target + ".lock";
        order.archive = target.c_str();
        order.recordPath = recordPath.c_str();
        order.lockPath = lockPath.c_str();
        order.profile = profile.c_str();
        order.dumpCommand = &dumpCommand;
        order.mechanism = linkedStaticArchive;
        order.mainClass = "org/demo/App";
        order.wait = 1;
        processResult result = runForked(dir, [&] {
            debug = 1;
            cacheAssembly(order).start();
            return 0;
        });
        EXPECT_EQ(0, result.status) << result.err;
        std::vector<std::string> command = linesOf(readFile(dir.path("jdk/bin/dump-command")));
        ASSERT_EQ(6u, command.size()) << c.java;
        EXPECT_EQ((std::vector<std::string>{java, "-cp", "/opt/app/a.jar", "-XX:AOTMode=create",
                                            "-XX:AOTConfiguration=" + profile}),
                  std::vector<std::string>(command.begin(), command.begin() + 5));
        EXPECT_TRUE(
            std::regex_match(command[5], std::regex("-XX:AOTCache=" + target + "\\.\\w{6}\\.tmp")))
            << command[5];
        std::set<std::string> files{name(lockPath)};
        if (c.placed) {
            files.insert({name(target), name(recordPath)});
            cacheRecord record;
            EXPECT_TRUE(record.read(recordPath.c_str()));
            EXPECT_EQ(0, record.classes) << "no class list to count";
        }
        EXPECT_EQ(files, filesIn(cache)) << c.java << "\n" << result.out;
        unlink(target.c_str());
        unlink(recordPath.c_str());
    }
}

} // namespace

// On JDK 17 the run also logs its class loading; the dump is given the list
// with the classes of the application's own loaders, and made again from the
// run's own list when it fails on them.
TEST_F(CacheAssembly, ClassesOfOtherLoadersGoInAndADumpThatFailsOnThemIsMadeAgain) {
    dir.write("jdk/release", "JAVA_VERSION=\"17.0.2\"\n");
    const char* const own = " loader: [loader data: 0x1 for instance a 'p/Loader'{0x2}]\n";
    struct {
        const char* java;
        const char* listEnding;
        bool madeAgain;
    } cases[] = {
        {"cp \"${a#*=}\" \"$d/list-seen\"", "merged", false},
        {"case \"$a\" in *.merged) cp \"${a#*=}\" \"$d/list-seen\"; exit 1;; esac", "classlist",
         true},
    };
    for (const auto& c : cases) {
        useJava(std::string("for a in \"$@\"; do case \"$a\" in -XX:SharedClassListFile=*) ") +
                c.java + ";; esac; done\n" + complete);
        environmentVariable wait("LARKWIN_STARTUP_CACHE", "wait");
        processResult result = runForked(dir, [&] {
            debug = 1;
            javaRuntime runtime(vm.javaPath);
            startupCache first(vm, runtime);
            const stringArray& options = first.getOptions();
            std::string list = std::string(options[0]).substr(strlen("-XX:DumpLoadedClassList="));
            std::string log = list + ".log";
            EXPECT_EQ("-Xlog:class+load=debug:file=\"" + log + "\":none:filecount=0",
                      std::string(options[1]));
            dir.write(list.substr(dir.root.size() + 1), "java/lang/Object\norg/demo/App\n");
            dir.write(log.substr(dir.root.size() + 1),
                      std::string("java.lang.Object source: jrt:/java.base\n klass: 0x10 super: "
                                  "0x0 loader: [loader data: 0x3 of 'bootstrap']\n"
                                  "p.A source: file:/lib/p.jar\n klass: 0x20 super: 0x10") +
                          own);
            first.finish(0);
            return 0;
        });
        EXPECT_EQ(0, result.status) << result.err;
        takeArchiveFrom(result.out);
        EXPECT_NE(std::string::npos,
                  result.out.find("startupcache: classes of other class loaders added to the "
                                  "list: 1\n"))
            << result.out;
        EXPECT_EQ(c.madeAgain, result.out.find("made again without them") != std::string::npos)
            << result.out;
        EXPECT_NE(std::string::npos, result.out.find("startupcache: assembled '")) << result.out;
        EXPECT_EQ("java/lang/Object id: 1\norg/demo/App id: 2\np/A id: 3 super: 1 source: "
                  "/lib/p.jar\n",
                  readFile(dir.path("jdk/bin/list-seen")));
        std::string command = readFile(dir.path("jdk/bin/dump-command"));
        EXPECT_NE(std::string::npos, command.find(std::string(".") + c.listEnding + "\n-XX:Shared"))
            << command;
        // The list an archive was made from stays beside it for the next
        // assembly, which finds the jars of the classes a run mapped there.
        std::set<std::string> files{name(archive), name(archive) + ".info",
                                    name(archive) + ".lock"};
        if (!c.madeAgain) {
            files.insert(name(archive) + ".loaders");
            EXPECT_EQ(readFile(dir.path("jdk/bin/list-seen")), readFile(archive + ".loaders"));
        }
        EXPECT_EQ(files, filesIn(cache));
        unlink(archive.c_str());
        unlink((archive + ".info").c_str());
    }
}
