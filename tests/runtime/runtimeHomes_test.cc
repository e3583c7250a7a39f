#include "runtime/runtimeHomes.h"
#include "testSupport.h"

#include <gtest/gtest.h>
#include <string>

namespace {
// Makes a runtime home at relative: bin/java, and a release file naming
// version unless it is null.
void makeHome(const scratchDir& dir, const std::string& relative, const char* version) {
    dir.mkdir(relative);
    dir.mkdir(relative + "/bin");
    dir.write(relative + "/bin/java", "");
    if (version != nullptr) {
        dir.write(relative + "/release", std::string("JAVA_VERSION=\"") + version + "\"\n");
    }
}

// Every candidate as path=version, joined by "|".
std::string listed(const runtimeCandidates& candidates, const std::string& root) {
    std::string text;
    for (int i = 0; i < candidates.size(); i++) {
        std::string path = candidates[i].javaPath;
        if (path.compare(0, root.size(), root) == 0) {
            path = path.substr(root.size() + 1);
        }
        text += (i > 0 ? "|" : "") + path + "=" + std::to_string(candidates[i].version);
        EXPECT_EQ(searchedRuntime, candidates[i].origin);
        EXPECT_TRUE(candidates[i].exists);
    }
    return text;
}
} // namespace

TEST(RuntimeHomes, SubdirectoriesThatAreHomesInNameOrderHiddenAndOthersSkipped) {
    scratchDir dir;
    dir.mkdir("jvm");
    makeHome(dir, "jvm/zulu-21", "21.0.4");
    makeHome(dir, "jvm/jdk-1.8", "1.8.0_392");
    makeHome(dir, "jvm/.hidden", "17");
    makeHome(dir, "jvm/no-release", nullptr);
    dir.mkdir("jvm/empty");
    dir.write("jvm/file", "");
    runtimeCandidates candidates;
    addRuntimeHomes(&candidates, dir.path("jvm").c_str());
    EXPECT_EQ("jvm/jdk-1.8/bin/java=8|jvm/no-release/bin/java=0|jvm/zulu-21/bin/java=21",
              listed(candidates, dir.root));
}

TEST(RuntimeHomes, ADirectoryThatIsItselfAHomeIsTakenAlone) {
    scratchDir dir;
    makeHome(dir, "jdk", "1.8.0_392");
    makeHome(dir, "jdk/jre", nullptr);
    runtimeCandidates candidates;
    addRuntimeHomes(&candidates, dir.path("jdk").c_str());
    EXPECT_EQ("jdk/bin/java=8", listed(candidates, dir.root));
    addRuntimeHomes(&candidates, dir.path("missing").c_str());
    EXPECT_EQ(1, candidates.size());
}

TEST(RuntimeHomes, InstallPlacesUnderHomeComeAfterTheSystemOnes) {
    scratchDir dir;
    dir.mkdir(".sdkman");
    dir.mkdir(".sdkman/candidates");
    dir.mkdir(".sdkman/candidates/java");
    makeHome(dir, ".sdkman/candidates/java/17.0.9-tem", "17.0.9");
    dir.mkdir(".jdks");
    makeHome(dir, ".jdks/corretto-11", "11.0.21");
    environmentVariable home("HOME", dir.root.c_str());
    runtimeCandidates candidates;
    addInstalledRuntimes(&candidates);
    ASSERT_GE(candidates.size(), 2);
    std::string last = listed(candidates, dir.root);
    EXPECT_NE(
        std::string::npos,
        last.find(".sdkman/candidates/java/17.0.9-tem/bin/java=17|.jdks/corretto-11/bin/java=11"))
        << last;
    EXPECT_EQ(
        last.size() - last.find(".sdkman"),
        std::string(".sdkman/candidates/java/17.0.9-tem/bin/java=17|.jdks/corretto-11/bin/java=11")
            .size());
}
