#include "config/configTestSupport.h"
#include "runtime/javaSearch.h"
#include "unix/exePath.h"

#include <gtest/gtest.h>
#include <string>

namespace {
// A directory of runtime homes named after their versions, and an
// environment in which JAVA_HOME, PATH and HOME name nothing else.
struct searchedHomes {
    searchedHomes()
        : javaHome("JAVA_HOME", nullptr), path("PATH", nullptr), home("HOME", dir.root.c_str()) {
        dir.mkdir("rt");
    }
    std::string make(const std::string& name, const char* version) {
        dir.mkdir("rt/" + name);
        dir.mkdir("rt/" + name + "/bin");
        dir.write("rt/" + name + "/bin/java", "");
        dir.write("rt/" + name + "/release", std::string("JAVA_VERSION=\"") + version + "\"\n");
        return dir.path("rt/" + name + "/bin/java");
    }
    std::string choose(const std::string& config) {
        testVm vm;
        parseText(&vm, dir.path("app"), config);
        char* chosen = createChosenJavaPath(vm.javaPath, vm.javaVersion, vm.javaSearchDirs);
        std::string path = chosen;
        delete[] chosen;
        return path;
    }

    scratchDir dir;
    environmentVariable javaHome;
    environmentVariable path;
    environmentVariable home;
};
} // namespace

TEST(JavaSearchDirectives, JavaVersionIsReadAndMalformedTextNamed) {
    scratchDir dir;
    testVm vm;
    EXPECT_FALSE(usesJavaSearch(vm.javaVersion, vm.javaSearchDirs));
    parseText(&vm, dir.path("app"), "javaversion 1.8-11\n");
    EXPECT_EQ(8, vm.javaVersion.minimum);
    EXPECT_EQ(11, vm.javaVersion.maximum);
    EXPECT_TRUE(usesJavaSearch(vm.javaVersion, vm.javaSearchDirs));
    EXPECT_EQ("Malformed javaversion '17 or so': write a feature release such as 17, or a range "
              "such as 11-17",
              thrownMessage([&] { parseText(&vm, dir.path("app"), "javaversion 17 or so\n"); }));
    EXPECT_EQ("Malformed javaversion '': write a feature release such as 17, or a range such as "
              "11-17",
              thrownMessage([&] { parseText(&vm, dir.path("app"), "javaversion\n"); }));
}

TEST(JavaSearchDirectives, JavaSearchResolvesLikeOtherPathsAndRepeats) {
    scratchDir dir;
    testVm vm;
    parseText(&vm, dir.path("app"), "javasearch runtime\njavasearch /opt/jdks\n");
    EXPECT_EQ(dir.path("runtime") + "|/opt/jdks", joined(vm.javaSearchDirs));
    EXPECT_TRUE(usesJavaSearch(vm.javaVersion, vm.javaSearchDirs));
    EXPECT_EQ("Unrecognized directive 'javaSearch'",
              thrownMessage([&] { parseText(&vm, dir.path("app"), "javaSearch x\n"); }));
}

TEST(JavaSearch, JavaHomeThatMissesIsPassedOverForTheHighestFittingSearched) {
    searchedHomes homes;
    // Versions beyond any real runtime, so that those installed here do not fit.
    std::string old = homes.make("old", "101.0.2");
    std::string fits = homes.make("fits", "117.0.1");
    homes.make("later", "121");
    environmentVariable javaHome("JAVA_HOME", homes.dir.path("rt/old").c_str());
    EXPECT_EQ(fits, homes.choose("javaversion 112-120\njavasearch rt\n"));
    EXPECT_EQ(old, homes.choose("javaversion 101\njavasearch rt\n"));
}

TEST(JavaSearch, WithOnlyJavaSearchTheFirstRuntimeThatExistsWins) {
    searchedHomes homes;
    std::string first = homes.make("a", "8");
    homes.make("b", "21");
    EXPECT_EQ(first, homes.choose("javasearch rt\n"));
}

TEST(JavaSearch, PathJavaIsTakenToItsCanonicalPath) {
    searchedHomes homes;
    std::string real = homes.make("jdk", "17");
    homes.dir.mkdir("bin");
    ASSERT_EQ(0, symlink(real.c_str(), homes.dir.path("bin/java").c_str()));
    environmentVariable path("PATH", homes.dir.path("bin").c_str());
    EXPECT_EQ(real, homes.choose("javaversion 17\n"));
}

TEST(JavaSearch, ConfiguredJavaPathThatMissesIsReported) {
    searchedHomes homes;
    std::string old = homes.make("old", "11");
    homes.make("new", "21");
    std::string message = thrownMessage(
        [&] { homes.choose("javapath rt/old/bin/java\njavaversion 17\njavasearch rt\n"); });
    EXPECT_EQ(0u, message.find("The configured javapath " + old + " is version 11,")) << message;
    EXPECT_NE(std::string::npos, message.find(homes.dir.path("rt/new/bin/java") + ": version 21"));
}

TEST(JavaSearch, JavaHomeVersionComesFromItsOwnReleaseThoughBinJavaLinksElsewhere) {
    searchedHomes homes;
    homes.dir.mkdir("elsewhere");
    homes.dir.write("elsewhere/java", "");
    homes.dir.mkdir("home");
    homes.dir.mkdir("home/bin");
    homes.dir.write("home/release", "JAVA_VERSION=\"117\"\n");
    ASSERT_EQ(0, symlink(homes.dir.path("elsewhere/java").c_str(),
                         homes.dir.path("home/bin/java").c_str()));
    environmentVariable javaHome("JAVA_HOME", homes.dir.path("home").c_str());
    EXPECT_EQ(homes.dir.path("home/bin/java"), homes.choose("javaversion 117\n"));
}
