#include "cache/startupCache.h"
#include "process/jniVmUnix.h"
#include "processSupport.h"
#include "unix/exePath.h"
#include "util/strings.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <set>
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

std::set<std::string> filesIn(const std::string& directory) {
    std::set<std::string> names;
    DIR* listing = opendir(directory.c_str());
    for (struct dirent* found = listing ? readdir(listing) : nullptr; found != nullptr;
         found = readdir(listing)) {
        if (found->d_name[0] != '.') {
            names.insert(found->d_name);
        }
    }
    if (listing) {
        closedir(listing);
    }
    return names;
}

// What the JVM leaves: a header whose magic it writes last.
void writeArchive(const std::string& path, bool complete) {
    std::string content(8192, '\0');
    if (complete) {
        content[0] = '\xa8';
        content[1] = '\xab';
        content[2] = '\x0b';
        content[3] = '\xf0';
    }
    FILE* file = fopen(path.c_str(), "wb");
    fwrite(content.data(), 1, content.size(), file);
    fclose(file);
}

char* noArguments[] = {nullptr};
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
        cache.finish(noArguments);
        return cache.getOptions().size();
    });
    EXPECT_EQ(0, result.status);
    EXPECT_EQ("", result.out);
}

TEST(StartupCache, Java17TrainsADynamicArchiveThatTheNextStartMaps) {
    scratchDir dir;
    cachedLaunch launch(dir, "17.0.9");
    std::string trainee;
    {
        javaRuntime launched(launch.vm.javaPath);
        startupCache first(launch.vm, launched);
        std::vector<std::string> options = cachedLaunch::listOf(first);
        ASSERT_EQ(2u, options.size());
        EXPECT_EQ("-Xlog:cds*=off,class+path*=off", options[0]);
        EXPECT_EQ(0u, options[1].find("-XX:ArchiveClassesAtExit=" + launch.cache + "/App-"));
        trainee = valueOf(options[1]);
        EXPECT_NE(std::string::npos, trainee.find("." + std::to_string(getpid()) + ".tmp"));
        writeArchive(trainee, true);
        first.finish(noArguments);
    }
    std::set<std::string> files = filesIn(launch.cache);
    ASSERT_EQ(1u, files.size());
    std::string archive = launch.cache + "/" + *files.begin();
    EXPECT_EQ(".jsa", archive.substr(archive.size() - 4));
    EXPECT_EQ(trainee.substr(0, trainee.find('.')), archive.substr(0, archive.find('.')));

    std::vector<std::string> second = launch.options();
    ASSERT_EQ(2u, second.size());
    EXPECT_EQ("-XX:SharedArchiveFile=" + archive, second[1]);

    chmod(archive.c_str(), 0644);
    writeArchive(archive, true);
    EXPECT_EQ(0u, launch.options()[1].find("-XX:ArchiveClassesAtExit="))
        << "an archive written to since it was made is trained again";
}

TEST(StartupCache, AnIncompleteArchiveIsRemoved) {
    scratchDir dir;
    cachedLaunch launch(dir, "17.0.9");
    {
        javaRuntime launched(launch.vm.javaPath);
        startupCache first(launch.vm, launched);
        writeArchive(valueOf(cachedLaunch::listOf(first)[1]), false);
        first.finish(noArguments);
    }
    EXPECT_EQ(std::set<std::string>(), filesIn(launch.cache));
}

TEST(StartupCache, TrainingRemovesWhatOlderKeysOfTheApplicationLeft) {
    scratchDir dir;
    cachedLaunch launch(dir, "17.0.9");
    javaRuntime launched(launch.vm.javaPath);
    startupCache first(launch.vm, launched);
    std::string trainee = valueOf(cachedLaunch::listOf(first)[1]);
    std::string name = trainee.substr(launch.cache.size() + 1);
    std::string prefix = name.substr(0, name.rfind('-') + 1);
    std::string ownKey = name.substr(prefix.size(), 16);
    std::string live = prefix + ownKey + "." + std::to_string(getppid()) + ".tmp";
    std::string dead = prefix + "0123456789abcdef.999999999.aotconf";
    dir.write("cache/" + prefix + "0123456789abcdef.jsa", "old");
    dir.write("cache/" + live, "training now");
    dir.write("cache/" + dead, "left by a crash");
    dir.write("cache/Other-0000000000000000-0123456789abcdef.jsa", "another application");
    writeArchive(trainee, true);
    first.finish(noArguments);
    std::set<std::string> expected = {prefix + ownKey + ".jsa", live,
                                      "Other-0000000000000000-0123456789abcdef.jsa"};
    EXPECT_EQ(expected, filesIn(launch.cache));
}

TEST(StartupCache, Java25RecordsAnAotConfiguration) {
    scratchDir dir;
    cachedLaunch launch(dir, "25.0.3", false);
    std::vector<std::string> options = launch.options();
    ASSERT_EQ(5u, options.size());
    EXPECT_EQ("-Xlog:aot*=off,cds*=off,class+path*=off", options[0]);
    EXPECT_EQ("-XX:+UnlockDiagnosticVMOptions", options[1]);
    EXPECT_EQ("-XX:-DisplayVMOutput", options[2]);
    EXPECT_EQ("-XX:AOTMode=record", options[3]);
    EXPECT_EQ(0u, options[4].find("-XX:AOTConfiguration=" + launch.cache + "/App-"));
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
        {"17.0.9", false, nullptr, "the runtime has no base archive"},
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

    dir.write("file", "x");
    launch.vm.setStartupCache(createStringCopy(dir.path("file/cache").c_str()));
    EXPECT_EQ(0u, launch.options().size());
    launch.vm.setStartupCache(nullptr);
    EXPECT_EQ(0u, launch.options().size()) << "no HOME and no XDG_CACHE_HOME";
}
