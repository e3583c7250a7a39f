#include "processSupport.h"
#include "runtime/runtimeRelease.h"
#include "testSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

TEST(FeatureVersion, ReadsEveryNumberingSchemeOfJava) {
    EXPECT_EQ(8, parseFeatureVersion("1.8.0_392"));
    EXPECT_EQ(8, parseFeatureVersion("1.8"));
    EXPECT_EQ(8, parseFeatureVersion("8"));
    EXPECT_EQ(17, parseFeatureVersion("17.0.21.1"));
    EXPECT_EQ(25, parseFeatureVersion("25"));
    EXPECT_EQ(25, parseFeatureVersion("25.0.3"));
    EXPECT_EQ(9, parseFeatureVersion("9-ea"));
    EXPECT_EQ(17, parseFeatureVersion("17+35"));
}

TEST(FeatureVersion, GarbledTextIsNoVersion) {
    EXPECT_EQ(0, parseFeatureVersion(""));
    EXPECT_EQ(0, parseFeatureVersion("seventeen"));
    EXPECT_EQ(0, parseFeatureVersion("17x"));
    EXPECT_EQ(0, parseFeatureVersion(" 17"));
    EXPECT_EQ(0, parseFeatureVersion("1."));
    EXPECT_EQ(0, parseFeatureVersion("1.x"));
    EXPECT_EQ(0, parseFeatureVersion("99999999999999999999"));
}

static std::string valueOf(const runtimeRelease& release, const char* key) {
    ownedString value(release.createValue(key));
    return value ? value.get() : "<none>";
}

TEST(RuntimeRelease, ReadsQuotedValuesByTheirWholeKey) {
    scratchDir dir;
    dir.write("release", "IMPLEMENTOR=\"Debian\"\r\n"
                         "JAVA_RUNTIME_VERSION=\"17.0.15+6-Debian-1deb12u1\"\n"
                         "JAVA_VERSION=\"17.0.15\"\n"
                         "OS_ARCH=x86_64");
    runtimeRelease release(dir.root.c_str());
    EXPECT_TRUE(release.isKnown());
    EXPECT_EQ("Debian", valueOf(release, "IMPLEMENTOR"));
    EXPECT_EQ("17.0.15", valueOf(release, "JAVA_VERSION"));
    EXPECT_EQ("17.0.15+6-Debian-1deb12u1", valueOf(release, "JAVA_RUNTIME_VERSION"));
    EXPECT_EQ("x86_64", valueOf(release, "OS_ARCH"));
    EXPECT_EQ("<none>", valueOf(release, "JAVA"));
    EXPECT_EQ(17, release.getFeatureVersion());
}

TEST(RuntimeRelease, Jdk8UpdateVersionGivesEight) {
    scratchDir dir;
    dir.write("release", "JAVA_VERSION=\"1.8.0_392\"\nOS_NAME=\"Linux\"\n");
    EXPECT_EQ(8, runtimeRelease(dir.root.c_str()).getFeatureVersion());
}

TEST(RuntimeRelease, EarlyAccessBuildAndUnquotedValueGiveTheirFeature) {
    scratchDir dir;
    dir.write("release", "JAVA_VERSION=\"9-ea\"\n");
    EXPECT_EQ(9, runtimeRelease(dir.root.c_str()).getFeatureVersion());
    dir.write("release", "JAVA_VERSION=21");
    EXPECT_EQ(21, runtimeRelease(dir.root.c_str()).getFeatureVersion());
    dir.write("release", "JAVA_VERSION=\"\"\n");
    EXPECT_EQ(0, runtimeRelease(dir.root.c_str()).getFeatureVersion());
}

TEST(RuntimeRelease, MissingGarbledOrHugeFilesAreUnknown) {
    scratchDir dir;
    EXPECT_FALSE(runtimeRelease(dir.root.c_str()).isKnown());
    EXPECT_EQ(0, runtimeRelease(dir.root.c_str()).getFeatureVersion());
    dir.write("release", "\x7f"
                         "ELF garbage \n\n=\"\n");
    EXPECT_EQ(0, runtimeRelease(dir.root.c_str()).getFeatureVersion());
    dir.write("release", "JAVA_VERSION=\"" + std::string(70000, '1') + "\"\n");
    EXPECT_FALSE(runtimeRelease(dir.root.c_str()).isKnown());
    dir.mkdir("dir");
    dir.mkdir("dir/release");
    EXPECT_FALSE(runtimeRelease(dir.path("dir").c_str()).isKnown());
}

TEST(RuntimeHome, IsAboveTheBinOfTheCanonicalJava) {
    scratchDir dir;
    dir.mkdir("jdk");
    dir.mkdir("jdk/bin");
    dir.write("jdk/bin/java", "");
    dir.mkdir("links");
    ASSERT_EQ(0, symlink(dir.path("jdk/bin/java").c_str(), dir.path("links/java").c_str()));
    ownedString home(createRuntimeHome(dir.path("links/java").c_str()));
    EXPECT_EQ(dir.path("jdk"), home.get());
    EXPECT_EQ(nullptr, createRuntimeHome(dir.path("links/none").c_str()));
}

TEST(RuntimeHome, Jdk8JreGivesTheJdkThatHoldsTheReleaseFile) {
    scratchDir dir;
    dir.mkdir("jdk");
    dir.write("jdk/release", "JAVA_VERSION=\"1.8.0_392\"\n");
    dir.mkdir("jdk/jre");
    dir.mkdir("jdk/jre/bin");
    dir.write("jdk/jre/bin/java", "");
    ownedString home(createRuntimeHome(dir.path("jdk/jre/bin/java").c_str()));
    EXPECT_EQ(dir.path("jdk"), home.get());
}

// Opening a FIFO for reading waits for a writer that never comes; the reader
// runs in a child that an alarm ends, so a hang shows as SIGALRM.
TEST(RuntimeRelease, FifoOrDeviceNamedReleaseIsUnknownAtOnce) {
    scratchDir dir;
    ASSERT_EQ(0, mkfifo(dir.path("release").c_str(), 0644));
    processResult fifo = runForked(
        dir, [&] { return runtimeRelease(dir.root.c_str()).isKnown() ? 1 : 0; }, 10);
    EXPECT_EQ(0, fifo.status);
    scratchDir devices;
    ASSERT_EQ(0, symlink("/dev/zero", devices.path("release").c_str()));
    EXPECT_FALSE(runtimeRelease(devices.root.c_str()).isKnown());
}
