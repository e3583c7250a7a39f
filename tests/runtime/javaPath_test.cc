#include "runtime/javaPath.h"
#include "testSupport.h"

#include <gtest/gtest.h>

static const char* noJreMessage =
    "Unable to find a Java Runtime. Please download and install a Java Runtime from\n"
    "https://www.larkwin.org/anvilry/resources/javaruntime.html";

static std::string javaPath() {
    ownedString path(getJavaPath());
    return path.get();
}

// A directory with bin/java in it, and a directory "path" holding another java.
struct runtimes {
    runtimes() {
        dir.mkdir("home");
        dir.mkdir("home/bin");
        dir.write("home/bin/java", "");
        dir.mkdir("path");
        dir.write("path/java", "");
    }
    scratchDir dir;
};

TEST(JavaPath, JavaHomeWinsOverPath) {
    runtimes found;
    environmentVariable home("JAVA_HOME", found.dir.path("home").c_str());
    environmentVariable path("PATH", found.dir.path("path").c_str());
    EXPECT_EQ(found.dir.path("home/bin/java"), javaPath());
}

TEST(JavaPath, JavaHomeEndingInSlashIsJoinedAsItIs) {
    runtimes found;
    std::string withSlash = found.dir.path("home/");
    environmentVariable home("JAVA_HOME", withSlash.c_str());
    environmentVariable path("PATH", nullptr);
    EXPECT_EQ(withSlash + "/bin/java", javaPath());
}

TEST(JavaPath, JavaHomeWithoutJavaFallsBackToPath) {
    runtimes found;
    environmentVariable home("JAVA_HOME", found.dir.path("path").c_str());
    std::string searched = found.dir.path("nowhere") + ":" + found.dir.path("path");
    environmentVariable path("PATH", searched.c_str());
    EXPECT_EQ(found.dir.path("path/java"), javaPath());
}

TEST(JavaPath, DirectoryNamedJavaIsAcceptedSinceOnlyExistenceCounts) {
    scratchDir dir;
    dir.mkdir("bin");
    dir.mkdir("bin/java");
    environmentVariable home("JAVA_HOME", nullptr);
    environmentVariable path("PATH", dir.path("bin").c_str());
    EXPECT_EQ(dir.path("bin/java"), javaPath());
}

TEST(JavaPath, NoRuntimeAnywhereRaisesTheTwoLineMessage) {
    environmentVariable home("JAVA_HOME", nullptr);
    environmentVariable unset("PATH", nullptr);
    EXPECT_EQ(noJreMessage, thrownMessage([] { getJavaPath(); }));
    environmentVariable empty("PATH", "");
    EXPECT_EQ(noJreMessage, thrownMessage([] { getJavaPath(); }));
    ownedString first(getNoJreMessage());
    ownedString second(getNoJreMessage());
    EXPECT_NE(first.get(), second.get());
}
