#include "pack/zip/bundle.h"

#include "pack/zip/zipTestSupport.h"
#include "testSupport.h"
#include "util/stringArray.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const std::string comment = "mainclass Main";
const std::string zip64 = "the merged archive needs ZIP64 records, which larkwin-pack cannot write";

// Each limit of a bundle's archive, lowered so that small files reach it:
// an archive exactly at a limit is bundled, one byte or entry more is
// refused with nothing left behind, neither the bundle nor a part of it.
class BundleLimits : public ::testing::Test {
  protected:
    void SetUp() override {
        launcher = dir.write("launcher", std::string(launcherSize, 'L'));
        archiveBuilder app;
        app.add("Main.class", "main class bytes");
        app.add("META-INF/spring.handlers", "a=1\n");
        app.add("LICENSE", "app licence");
        appJar = dir.write("app.jar", app.bytes());
        archiveBuilder lib;
        lib.add("lib/Lib.class", "lib");
        lib.add("META-INF/spring.handlers", "b=22\n");
        libJar = dir.write("lib.jar", lib.bytes());
    }

    // The refusal of a bundle of jars within limits, or "" when the bundle
    // was made; either way no other file is left.
    std::string bundle(const std::vector<std::string>& jars, const zipLimits& limits) {
        stringArray archives;
        for (const std::string& jar : jars) {
            archives.append(createStringCopy(jar.c_str()));
        }
        unlink(output.c_str());
        std::set<std::string> before = filesIn(dir.root);
        std::string refusal = thrownMessage([&] {
            writeBundle(&launcher[0], archives, output.c_str(), comment.c_str(), 1, limits);
        });
        std::set<std::string> after = filesIn(dir.root);
        if (refusal.empty()) {
            EXPECT_EQ(1u, after.erase("bundle")) << "made";
        }
        EXPECT_EQ(before, after) << refusal;
        return refusal;
    }

    std::string tooLarge(const std::string& jar) { return "'" + jar + "' is too large to bundle"; }

    scratchDir dir;
    const long launcherSize = 1000;
    std::string launcher;
    std::string appJar;
    std::string libJar;
    std::string output = dir.path("bundle");
};

TEST_F(BundleLimits, AnInputMayBeAsLargeAsTheLargestInput) {
    zipLimits limits = bundleLimits;
    limits.largestInput = (long)readFile(appJar).size();
    EXPECT_EQ("", bundle({appJar}, limits));
    EXPECT_EQ("", bundle({appJar, libJar}, limits));
    limits.largestInput--;
    EXPECT_EQ(tooLarge(appJar), bundle({appJar}, limits));
    EXPECT_EQ(tooLarge(appJar), bundle({libJar, appJar}, limits)) << "every input is checked";
}

TEST_F(BundleLimits, ASingleArchiveMovedPastTheLauncherStaysWithinTheLargestOffset) {
    std::string jar = readFile(appJar);
    long directoryOffset = (long)get4(jar, jar.size() - 22 + 16);
    zipLimits limits = bundleLimits;
    limits.largestOffset = launcherSize + directoryOffset;
    EXPECT_EQ("", bundle({appJar}, limits));
    limits.largestOffset--;
    EXPECT_EQ(tooLarge(appJar), bundle({appJar}, limits));
}

TEST_F(BundleLimits, AMergedArchiveEndsItsDirectoryWithinTheLargestOffset) {
    ASSERT_EQ("", bundle({appJar, libJar}, bundleLimits));
    std::string made = readFile(output);
    long directoryEnd = (long)(made.size() - 22 - comment.size());
    zipLimits limits = bundleLimits;
    limits.largestOffset = directoryEnd;
    EXPECT_EQ("", bundle({appJar, libJar}, limits));
    EXPECT_EQ(made, readFile(output)) << "the limit changes nothing else";
    limits.largestOffset--;
    EXPECT_EQ(zip64, bundle({appJar, libJar}, limits));
    limits.largestOffset = launcherSize + 10;
    EXPECT_EQ(zip64, bundle({appJar, libJar}, limits)) << "within the first entry";
}

TEST_F(BundleLimits, AMergedArchiveHoldsAtMostTheMostEntries) {
    // Main.class, the joined handlers, LICENSE and lib/Lib.class.
    zipLimits limits = bundleLimits;
    limits.mostEntries = 4;
    EXPECT_EQ("", bundle({appJar, libJar}, limits));
    limits.mostEntries--;
    EXPECT_EQ(zip64, bundle({appJar, libJar}, limits));
}

TEST_F(BundleLimits, CopiesJoinedInMemoryStayWithinTheLargestContent) {
    // Each copy with the line feed that may follow it: 4 + 1 and 5 + 1.
    zipLimits limits = bundleLimits;
    limits.largestContent = 11;
    EXPECT_EQ("", bundle({appJar, libJar}, limits));
    EXPECT_NE(std::string::npos, readFile(output).find("a=1\nb=22\n"));
    limits.largestContent--;
    EXPECT_EQ(zip64, bundle({appJar, libJar}, limits)) << "together";
    limits.largestContent = 4;
    EXPECT_EQ(tooLarge(libJar), bundle({libJar, appJar}, limits)) << "one copy alone";
}

} // namespace
