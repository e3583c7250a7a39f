#include "cache/cacheRecord.h"
#include "cache/loaderClasses.h"
#include "cache/startupCache.h"
#include "process/jniVmUnix.h"
#include "processSupport.h"
#include "unix/exePath.h"
#include "util/strings.h"

#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <vector>

namespace {
// A runtime home that only looks like one: bin/java, release and the base
// archive, none of them run.
struct fakeRuntime {
    fakeRuntime(const scratchDir& dir, const char* version, bool baseArchive = true) {
        dir.mkdir("jdk");
        dir.mkdir("jdk/bin");
        dir.mkdir("jdk/lib");
        dir.mkdir("jdk/lib/server");
        java = dir.write("jdk/bin/java", "");
        dir.write("jdk/release", std::string("JAVA_VERSION=\"") + version +
                                     "\"\nJAVA_RUNTIME_VERSION=\"" + version + "+1\"\n");
        if (baseArchive) {
            dir.write("jdk/lib/server/classes.jsa", "base");
        }
    }
    std::string java;
};

struct cachedLaunch {
    cachedLaunch(const scratchDir& dir, const char* version, bool baseArchive = true)
        : runtime(dir, version, baseArchive), cache(dir.path("cache")) {
        vm.setJavaPath(createStringCopy(runtime.java.c_str()));
        vm.setMainClass(createStringCopy("org.demo.App"));
        vm.setStartupCache(createStringCopy(cache.c_str()));
    }
    std::vector<std::string> options() const {
        javaRuntime launched(vm.javaPath);
        startupCache decided(vm, launched);
        return listOf(decided);
    }
    static std::vector<std::string> listOf(const startupCache& decided) {
        std::vector<std::string> list;
        for (int i = 0; i < decided.getOptions().size(); i++) {
            list.push_back(decided.getOptions()[i]);
        }
        return list;
    }
    fakeRuntime runtime;
    std::string cache;
    jniVmUnix vm;
};

std::string valueOf(const std::string& option) {
    return option.substr(option.find('=') + 1);
}

// A java that, asked to dump, writes an archive with the magic the JVM
// writes last, and records its command line beside itself.
const char* const dumpingJava = "#!/bin/sh\n"
                                "printf '%s\\n' \"$@\" > \"$(dirname \"$0\")/dump-command\"\n"
                                "for a in \"$@\"; do case \"$a\" in\n"
                                "  -XX:SharedArchiveFile=*) out=\"${a#*=}\" ;;\n"
                                "esac; done\n"
                                "printf '\\242\\253\\013\\360' > \"$out\"\n"
                                "head -c 8192 /dev/zero >> \"$out\"\n";

void makeDumping(const fakeRuntime& runtime) {
    FILE* file = fopen(runtime.java.c_str(), "w");
    fputs(dumpingJava, file);
    fclose(file);
    chmod(runtime.java.c_str(), 0755);
}

// The class list a run of org/demo/App leaves.
void writeList(const std::string& option, bool withMainClass) {
    FILE* file = fopen(valueOf(option).c_str(), "w");
    fputs("java/lang/Object id: 1\n", file);
    if (withMainClass) {
        fputs("org/demo/App id: 2\n", file);
    }
    fclose(file);
}

// Records the classes, assembles the archive in the foreground; its path.
std::string assemble(cachedLaunch& launch) {
    environmentVariable wait("LARKWIN_STARTUP_CACHE", "wait");
    makeDumping(launch.runtime);
    javaRuntime launched(launch.vm.javaPath);
    startupCache first(launch.vm, launched);
    std::vector<std::string> options = cachedLaunch::listOf(first);
    // Before JDK 24 the run also logs its class loading.
    EXPECT_EQ(logsLoaderClasses(launched.getFeatureVersion()) ? 2u : 1u, options.size());
    if (options.empty()) {
        return "";
    }
    writeList(options[0], true);
    first.finish(0);
    std::string list = valueOf(options[0]);
    return list.substr(0, list.find(".jsa") + 4);
}
} // namespace

TEST(StartupCache, WithoutTheDirectiveNothingHappensAndNothingIsSaid) {
    scratchDir dir;
    processResult result = runForked(dir, [&] {
        fakeRuntime runtime(dir, "17.0.9");
        jniVmUnix vm;
        vm.setJavaPath(createStringCopy(runtime.java.c_str()));
        vm.setMainClass(createStringCopy("App"));
        debug = 1;
        javaRuntime launched(vm.javaPath);
        startupCache cache(vm, launched);
        cache.finish(0);
        return cache.getOptions().size();
    });
    EXPECT_EQ(0, result.status);
    EXPECT_EQ("", result.out);
}

TEST(StartupCache, ARunListsItsClassesAndTheNextStartMapsTheirArchive) {
    scratchDir dir;
    cachedLaunch launch(dir, "17.0.9");
    launch.vm.addVmOption(createStringCopy("-Xlog:gc:file=gc.txt"));
    launch.vm.addVmOption(createStringCopy("-Dk=v"));
    std::vector<std::string> first = launch.options();
    ASSERT_EQ(2u, first.size()) << "the recording run adds nothing else";
    EXPECT_EQ(0u, first[0].find("-XX:DumpLoadedClassList=" + launch.cache + "/App-"));
    EXPECT_EQ("-Xlog:class+load=debug:file=\"" + valueOf(first[0]) + ".log\":none:filecount=0",
              first[1]);

    std::string archive = assemble(launch);
    std::set<std::string> files = filesIn(launch.cache);
    std::string name = archive.substr(launch.cache.size() + 1);
    EXPECT_EQ((std::set<std::string>{name, name + ".info", name + ".lock"}), files);
    std::ifstream dumped(dir.path("jdk/bin/dump-command"));
    std::string command((std::istreambuf_iterator<char>(dumped)), std::istreambuf_iterator<char>());
    EXPECT_NE(std::string::npos, command.find("-Dk=v\n"));
    EXPECT_EQ(std::string::npos, command.find("-Xlog:gc")) << "would write the user's log";
    EXPECT_NE(std::string::npos, command.find("-Xshare:dump\n-XX:SharedClassListFile="));
    EXPECT_EQ(std::string::npos, command.find("AOTClassLinking")) << "Java 24 on";

    std::vector<std::string> second = launch.options();
    ASSERT_EQ(4u, second.size());
    EXPECT_EQ("-Xlog:cds*=off,class+path*=off", second[0]);
    EXPECT_EQ("-XX:SharedArchiveFile=" + archive, second[1]);
    EXPECT_EQ(0u, second[2].find("-XX:DumpLoadedClassList=")) << "to see if it is too small";
    EXPECT_EQ(0u, second[3].find("-Xlog:class+load=debug:file="));
}

TEST(StartupCache, Java25LinksTheClassesAheadOfTime) {
    scratchDir dir;
    cachedLaunch launch(dir, "25.0.3");
    std::string archive = assemble(launch);
    std::ifstream dumped(dir.path("jdk/bin/dump-command"));
    std::string command((std::istreambuf_iterator<char>(dumped)), std::istreambuf_iterator<char>());
    EXPECT_NE(std::string::npos, command.find("-XX:+AOTClassLinking\n"));
    std::vector<std::string> second = launch.options();
    ASSERT_LE(2u, second.size());
    EXPECT_EQ("-Xlog:aot*=off,cds*=off,class+path*=off", second[0]);
}

TEST(StartupCache, ARunThatNeverReachedItsMainClassLeavesNothing) {
    scratchDir dir;
    cachedLaunch launch(dir, "17.0.9");
    {
        javaRuntime launched(launch.vm.javaPath);
        startupCache first(launch.vm, launched);
        writeList(cachedLaunch::listOf(first)[0], false);
        first.finish(1);
    }
    EXPECT_EQ(std::set<std::string>(), filesIn(launch.cache));
}

TEST(StartupCache, AnArchiveThatAJvmCrashedOnGoes) {
    scratchDir dir;
    cachedLaunch launch(dir, "17.0.9");
    std::string archive = assemble(launch);
    struct stat status;
    {
        javaRuntime launched(launch.vm.javaPath);
        startupCache second(launch.vm, launched);
        second.finish(128 + SIGTERM);
    }
    EXPECT_EQ(0, stat(archive.c_str(), &status)) << "a stop request is no crash";
    {
        javaRuntime launched(launch.vm.javaPath);
        startupCache third(launch.vm, launched);
        third.finish(128 + SIGSEGV);
    }
    EXPECT_NE(0, stat(archive.c_str(), &status));
    EXPECT_NE(0, stat((archive + ".info").c_str(), &status));
}

TEST(StartupCache, ADamagedArchiveGoesAndIsRecordedAgain) {
    scratchDir dir;
    cachedLaunch launch(dir, "17.0.9");
    std::string archive = assemble(launch);
    chmod(archive.c_str(), 0600);
    FILE* file = fopen(archive.c_str(), "r+b");
    fseek(file, 4096, SEEK_SET);
    fputs("damage", file);
    fclose(file);
    chmod(archive.c_str(), 0400);
    std::vector<std::string> options = launch.options();
    ASSERT_EQ(2u, options.size());
    EXPECT_EQ(0u, options[0].find("-XX:DumpLoadedClassList="));
    struct stat status;
    EXPECT_NE(0, stat(archive.c_str(), &status));
}

TEST(StartupCache, KeysOfOneApplicationStaySideBySide) {
    scratchDir dir;
    cachedLaunch launch(dir, "17.0.9");
    std::string plain = assemble(launch);
    launch.vm.addVmOption(createStringCopy("-Dper.start=1"));
    launch.vm.addVmOption(createStringCopy("-Xmx1g"));
    EXPECT_EQ("-XX:SharedArchiveFile=" + plain, launch.options()[1])
        << "properties and heap sizes do not count";
    launch.vm.addVmOption(createStringCopy("-XX:+UseSerialGC"));
    std::string serial = assemble(launch);
    EXPECT_NE(plain, serial);
    struct stat status;
    EXPECT_EQ(0, stat(plain.c_str(), &status));
    EXPECT_EQ("-XX:SharedArchiveFile=" + serial, launch.options()[1]);
}

TEST(StartupCache, AnAssemblyUnderWayIsLeftAlone) {
    scratchDir dir;
    cachedLaunch launch(dir, "17.0.9");
    std::string archive = assemble(launch);
    unlink(archive.c_str());
    int lock = open((archive + ".lock").c_str(), O_RDWR);
    ASSERT_EQ(0, flock(lock, LOCK_EX));
    EXPECT_EQ(0u, launch.options().size());
    close(lock);
    EXPECT_EQ(2u, launch.options().size());
}

TEST(StartupCache, StandsAsideAndSaysWhy) {
    struct refusal {
        const char* version;
        bool baseArchive;
        const char* option;
        const char* says;
    };
    const refusal cases[] = {
        {"11.0.2", true, nullptr, "is older than Java 13 or does not say"},
        {"garbled", true, nullptr, "is older than Java 13 or does not say"},
        {"25.0.3", false, nullptr, "the runtime has no base archive"},
        {"17.0.9", true, "-XX:+UseZGC", "has no base archive '"},
        {"17.0.9", true, "-XX:-UseCompressedClassPointers", "keeps the runtime's base archive"},
        {"25.0.3", true, "-XX:ObjectAlignmentInBytes=16", "keeps the runtime's base archive"},
        {"17.0.9", true, "-Xshare:off",
         "the VM option '-Xshare:off' takes class data sharing over"},
        {"25.0.3", true, "-XX:AOTCache=mine.aot", "the VM option '-XX:AOTCache=mine.aot'"},
    };
    for (const refusal& each : cases) {
        scratchDir dir;
        processResult result = runForked(dir, [&] {
            cachedLaunch launch(dir, each.version, each.baseArchive);
            if (each.option != nullptr) {
                launch.vm.addVmOption(createStringCopy(each.option));
            }
            debug = 1;
            return (int)launch.options().size();
        });
        EXPECT_EQ(0, result.status) << each.says;
        EXPECT_EQ(0u, result.out.find("startupcache: not used: ")) << result.out;
        EXPECT_NE(std::string::npos, result.out.find(each.says)) << result.out;
    }
}

// Before Java 24 the archive, dumped from the class list, holds the
// runtime's classes too: a runtime made without any base archive gets it
// all the same, and only a shape whose own base archive is missing beside
// another stands aside.
TEST(StartupCache, ARuntimeWithoutAnyBaseArchiveBeforeJava24StillGetsOne) {
    scratchDir dir;
    cachedLaunch launch(dir, "17.0.9", false);
    std::string archive = assemble(launch);
    ASSERT_NE("", archive);
    std::vector<std::string> mapped = launch.options();
    ASSERT_EQ(4u, mapped.size());
    EXPECT_EQ("-XX:SharedArchiveFile=" + archive, mapped[1]);
    launch.vm.addVmOption(createStringCopy("-XX:+UseZGC"));
    EXPECT_NE(0u, launch.options().size());
    dir.write("jdk/lib/server/classes.jsa", "base");
    EXPECT_EQ(0u, launch.options().size());
}

TEST(StartupCache, IsOffForOneRunWhenTheUserSaysSo) {
    scratchDir dir;
    cachedLaunch launch(dir, "17.0.9");
    environmentVariable off("LARKWIN_STARTUP_CACHE", "off");
    EXPECT_EQ(0u, launch.options().size());
}

TEST(StartupCache, StandsAsideForAFilledClassPathDirectory) {
    scratchDir dir;
    cachedLaunch launch(dir, "17.0.9");
    std::string classes = dir.mkdir("classes");
    launch.vm.addPath(createStringCopy(classes.c_str()));
    EXPECT_EQ(2u, launch.options().size()) << "an empty directory is fine";
    dir.write("classes/App.class", "x");
    EXPECT_EQ(0u, launch.options().size());
    launch.vm.classPath.remove(0);
    launch.vm.addPath(createStringCopy(dir.path("lib/*").c_str()));
    EXPECT_EQ(0u, launch.options().size()) << "a wildcard";
}

TEST(StartupCache, StandsAsideForACacheDirectoryItCannotTrust) {
    scratchDir dir;
    cachedLaunch launch(dir, "17.0.9");
    dir.mkdir("cache");
    chmod(launch.cache.c_str(), 0777);
    EXPECT_EQ(0u, launch.options().size());
    EXPECT_EQ(std::set<std::string>(), filesIn(launch.cache));
    chmod(launch.cache.c_str(), 0700);
    chmod(dir.root.c_str(), 0777);
    EXPECT_EQ(0u, launch.options().size()) << "others may write to its parent";
    chmod(dir.root.c_str(), 0700);

    dir.write("file", "x");
    launch.vm.setStartupCache(createStringCopy(dir.path("file/cache").c_str()));
    EXPECT_EQ(0u, launch.options().size());
    launch.vm.setStartupCache(nullptr);
    EXPECT_EQ(0u, launch.options().size()) << "no HOME and no XDG_CACHE_HOME";
}

TEST(StartupCache, AClearlyLargerLaterRunMakesTheArchiveAgainAtMostTwice) {
    scratchDir dir;
    cachedLaunch launch(dir, "17.0.9");
    std::string archive = assemble(launch);
    environmentVariable wait("LARKWIN_STARTUP_CACHE", "wait");
    auto start = [&](int classes) {
        javaRuntime launched(launch.vm.javaPath);
        startupCache later(launch.vm, launched);
        std::vector<std::string> options = cachedLaunch::listOf(later);
        EXPECT_EQ("-XX:SharedArchiveFile=" + archive, options[1]);
        if (options.size() == 4) {
            FILE* list = fopen(valueOf(options[2]).c_str(), "w");
            fputs("org/demo/App id: 2\n", list);
            for (int i = 0; i < classes; i++) {
                fprintf(list, "p/C%d id: %d\n", i, i + 3);
            }
            fclose(list);
        }
        later.finish(0);
        cacheRecord record;
        record.read((archive + ".info").c_str());
        return std::to_string(options.size()) + " " + std::to_string(record.classes) + " " +
               std::to_string(record.remakes);
    };
    EXPECT_EQ("4 2 0", start(10)) << "a start like the first lists, and that is all";
    EXPECT_EQ("4 301 1", start(300)) << "a clearly larger one makes the archive again";
    EXPECT_EQ("4 301 1", start(350)) << "not a quarter more";
    EXPECT_EQ("4 1001 2", start(1000));
    EXPECT_EQ("2 1001 2", start(5000)) << "at most twice";
}

TEST(StartupCache, OnlyTheFirstFewStartsListTheirClasses) {
    scratchDir dir;
    cachedLaunch launch(dir, "17.0.9");
    assemble(launch);
    for (int use = 0; use < 3; use++) {
        EXPECT_EQ(4u, launch.options().size()) << use;
    }
    EXPECT_EQ(2u, launch.options().size());
}
