#include "runtime/javaRuntime.h"
#include "testSupport.h"

#include <gtest/gtest.h>

// Every part of a launch that asks sees the same release file, read once.
TEST(JavaRuntime, ReadsTheReleaseFileOnceForEveryone) {
    scratchDir dir;
    dir.mkdir("jdk");
    dir.mkdir("jdk/bin");
    std::string java = dir.write("jdk/bin/java", "");
    dir.write("jdk/release", "JAVA_VERSION=\"17.0.9\"\n");
    javaRuntime runtime(java.c_str());
    EXPECT_EQ(dir.path("jdk"), runtime.getHome());
    EXPECT_EQ(17, runtime.getFeatureVersion());
    dir.write("jdk/release", "JAVA_VERSION=\"25\"\n");
    EXPECT_EQ(17, runtime.getFeatureVersion());
    EXPECT_EQ(runtime.getRelease(), runtime.getRelease());
}

TEST(JavaRuntime, AJavaThatCannotBeResolvedHasNoHomeAndNoVersion) {
    scratchDir dir;
    std::string java = dir.path("none/bin/java");
    javaRuntime missing(java.c_str());
    EXPECT_EQ(nullptr, missing.getHome());
    EXPECT_EQ(nullptr, missing.getRelease());
    EXPECT_EQ(0, missing.getFeatureVersion());
    javaRuntime none(nullptr);
    EXPECT_EQ(0, none.getFeatureVersion());
}
