#include "runtime/runtimeHomes.h"
#include "testSupport.h"

#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

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

namespace {
// Each candidate as path, "!" and the start of its refusal when it has one.
std::string refusals(const runtimeCandidates& candidates, const std::string& root) {
    std::string text;
    for (int i = 0; i < candidates.size(); i++) {
        std::string path = candidates[i].javaPath;
        text += (i > 0 ? "|" : "") + path.substr(root.size() + 1);
        if (candidates[i].refusal != nullptr) {
            std::string refusal = candidates[i].refusal;
            EXPECT_EQ(0, refusal.compare(0, root.size(), root)) << refusal;
            text += "!" + refusal.substr(root.size() + 1);
            EXPECT_EQ(0, candidates[i].version);
        }
    }
    return text;
}
} // namespace

// Another user who may write to a searched directory could plant a home
// there whose release file names any version.
TEST(RuntimeHomes, HomesOthersMayHavePlantedOrChangedAreRefusedWithTheReason) {
    scratchDir dir;
    for (const char* place : {"open", "sticky", "fine"}) {
        dir.mkdir(place);
        makeHome(dir, std::string(place) + "/zz-evil", "99");
    }
    chmod(dir.path("open").c_str(), 0777);
    chmod(dir.path("sticky").c_str(), 01777);
    makeHome(dir, "fine/home-open", "17");
    chmod(dir.path("fine/home-open").c_str(), 0757);
    makeHome(dir, "fine/bin-open", "17");
    chmod(dir.path("fine/bin-open/bin").c_str(), 0777);
    makeHome(dir, "fine/java-open", "17");
    chmod(dir.path("fine/java-open/bin/java").c_str(), 0666);
    runtimeCandidates candidates;
    for (const char* place : {"open", "sticky", "fine"}) {
        addRuntimeHomes(&candidates, dir.path(place).c_str());
    }
    EXPECT_EQ("open/zz-evil/bin/java!open: other users may write to it|"
              "sticky/zz-evil/bin/java!sticky: other users may write to it|"
              "fine/bin-open/bin/java!fine/bin-open/bin: other users may write to it|"
              "fine/home-open/bin/java!fine/home-open: other users may write to it|"
              "fine/java-open/bin/java!fine/java-open/bin/java: other users may write to it|"
              "fine/zz-evil/bin/java",
              refusals(candidates, dir.root));
    EXPECT_EQ(99, candidates[candidates.size() - 1].version);
}

TEST(RuntimeHomes, ASearchedDirectoryThatIsItselfAnOpenHomeIsRefused) {
    scratchDir dir;
    makeHome(dir, "jdk", "21");
    chmod(dir.path("jdk").c_str(), 0777);
    runtimeCandidates candidates;
    addRuntimeHomes(&candidates, dir.path("jdk").c_str());
    EXPECT_EQ("jdk/bin/java!jdk: other users may write to it", refusals(candidates, dir.root));
    versionRequirement any;
    EXPECT_EQ(-1, chooseRuntime(candidates, any));
    EXPECT_EQ(verdictRefused, candidates[0].verdict);
}

// Root running a launcher with HOME set to another user's home must not run
// what that user put in ~/.jdks or ~/.sdkman.
TEST(RuntimeHomes, InstallPlacesUnderHomeOwnedByAnotherUserAreRefused) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a directory to another user";
    }
    scratchDir dir;
    dir.mkdir(".sdkman");
    dir.mkdir(".sdkman/candidates");
    dir.mkdir(".sdkman/candidates/java");
    makeHome(dir, ".sdkman/candidates/java/17.0.9-tem", "17.0.9");
    dir.mkdir(".jdks");
    makeHome(dir, ".jdks/corretto-11", "11.0.21");
    ASSERT_EQ(0, chown(dir.path(".sdkman").c_str(), 65534, 65534));
    ASSERT_EQ(0, chown(dir.path(".jdks").c_str(), 65534, 65534));
    environmentVariable home("HOME", dir.root.c_str());
    runtimeCandidates all;
    addInstalledRuntimes(&all);
    runtimeCandidates mine;
    for (int i = 0; i < all.size(); i++) {
        if (std::string(all[i].javaPath).compare(0, dir.root.size(), dir.root) == 0) {
            mine.add(createStringCopy(all[i].javaPath), searchedRuntime, 1, 0);
            if (all[i].refusal != nullptr) {
                mine[mine.size() - 1].refusal = createStringCopy(all[i].refusal);
            }
        }
    }
    EXPECT_EQ(".sdkman/candidates/java/17.0.9-tem/bin/java!.sdkman: owned by another user|"
              ".jdks/corretto-11/bin/java!.jdks: owned by another user",
              refusals(mine, dir.root));
}

// A home under /opt or in a searched folder that another user owns, or whose
// bin or java is another user's, is passed over wherever it is found; root's
// and the running user's are taken.
TEST(RuntimeHomes, HomesOwnedByAnotherUserAreRefusedInEveryPlace) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a directory to another user";
    }
    scratchDir dir;
    struct ownedPart {
        const char* home;
        const char* part;
    };
    const ownedPart cases[] = {{"a-jdk", "a-jdk"},
                               {"b-jdk", "b-jdk/bin"},
                               {"c-jdk", "c-jdk/bin/java"},
                               {"d-jdk", nullptr}};
    for (const ownedPart& row : cases) {
        makeHome(dir, row.home, "17.0.9");
        if (row.part != nullptr) {
            ASSERT_EQ(0, chown(dir.path(row.part).c_str(), 65534, 65534));
        }
    }
    runtimeCandidates candidates;
    addRuntimeHomes(&candidates, dir.root.c_str());
    EXPECT_EQ("a-jdk/bin/java!a-jdk: owned by another user|"
              "b-jdk/bin/java!b-jdk/bin: owned by another user|"
              "c-jdk/bin/java!c-jdk/bin/java: owned by another user|d-jdk/bin/java",
              refusals(candidates, dir.root));
    runtimeCandidates alone;
    addRuntimeHomes(&alone, dir.path("a-jdk").c_str());
    EXPECT_EQ("a-jdk/bin/java!a-jdk: owned by another user", refusals(alone, dir.root));
}

// More entries than any real directory of runtimes holds, made in an order
// unlike the sorted one: the order stays strcmp's. (How the time grows with
// the count is measured apart; see docs/reliability.md.)
TEST(RuntimeHomes, ManyEntriesComeInNameOrder) {
    scratchDir dir;
    dir.mkdir("many");
    const int count = 3000;
    for (int i = 0; i < count; i++) {
        int n = (i * 7919) % count;
        dir.mkdir("many/d" + std::to_string(n));
    }
    for (int n : {2999, 0, 1500, 10}) {
        makeHome(dir, "many/d" + std::to_string(n), "17");
    }
    runtimeCandidates candidates;
    addRuntimeHomes(&candidates, dir.path("many").c_str());
    EXPECT_EQ("many/d0/bin/java=17|many/d10/bin/java=17|many/d1500/bin/java=17|"
              "many/d2999/bin/java=17",
              listed(candidates, dir.root));
}
