#include "cache/cacheMechanism.h"

#include <gtest/gtest.h>

TEST(CacheMechanism, FollowsTheRuntimesFeatureVersion) {
    EXPECT_EQ(noCacheMechanism, chooseCacheMechanism(0)) << "unknown version";
    EXPECT_EQ(noCacheMechanism, chooseCacheMechanism(8));
    EXPECT_EQ(noCacheMechanism, chooseCacheMechanism(12));
    EXPECT_EQ(staticArchive, chooseCacheMechanism(13));
    EXPECT_EQ(staticArchive, chooseCacheMechanism(17));
    EXPECT_EQ(staticArchive, chooseCacheMechanism(23));
    EXPECT_EQ(linkedStaticArchive, chooseCacheMechanism(24));
    EXPECT_EQ(linkedStaticArchive, chooseCacheMechanism(26));
}

TEST(CacheMechanism, OnlyJava25OnSilencesTheAotTag) {
    // JDK 17 refuses a selector with a tag it does not know.
    EXPECT_STREQ("-Xlog:cds*=off,class+path*=off", getQuietLogOption(17));
    EXPECT_STREQ("-Xlog:cds*=off,class+path*=off", getQuietLogOption(24));
    EXPECT_STREQ("-Xlog:aot*=off,cds*=off,class+path*=off", getQuietLogOption(25));
}

TEST(CacheMechanism, OptionsThatTakeSharingOverAreRecognised) {
    const char* takers[] = {
        "-Xshare:off",
        "-Xshare:on",
        "-Xshare:auto",
        "-XX:SharedArchiveFile=/tmp/a.jsa",
        "-XX:ArchiveClassesAtExit=a.jsa",
        "-XX:+AutoCreateSharedArchive",
        "-XX:-AutoCreateSharedArchive",
        "-XX:AOTCache=app.aot",
        "-XX:AOTMode=off",
        "-XX:AOTConfiguration=app.aotconf",
        "-XX:AOTCacheOutput=app.aot",
        "-XX:-UseSharedSpaces",
        "-XX:Flags=.hotspotrc",
        "-XX:VMOptionsFile=opts",
        "@argfile",
        "-javaagent:agent.jar",
        "-agentlib:jdwp=transport=dt_socket",
        "--patch-module=java.base=p.jar",
        "--limit-modules",
    };
    for (const char* option : takers) {
        EXPECT_TRUE(takesCacheOver(option)) << option;
    }
    const char* others[] = {
        "-Xmx64m",       "-XX:+UseSerialGC", "-XX:SharedArchiveFileX=1", "-Dshare=off",
        "-XX:AOTCacheX", "-Xlog:cds=info",   "-XX:+PrintFlagsFinal",     "--add-modules=java.sql"};
    for (const char* option : others) {
        EXPECT_FALSE(takesCacheOver(option)) << option;
    }
    EXPECT_TRUE(takesCacheOverInText("-Xmx1g -Xshare:off"));
    EXPECT_TRUE(takesCacheOverInText("-XX:AOTCache=x.aot"));
    EXPECT_FALSE(takesCacheOverInText("-Xmx1g -Dfile.encoding=UTF-8"));
}
