#include "pack/image/imageTraining.h"
#include "pack/image/profileChoice.h"
#include "processSupport.h"
#include "util/stringArray.h"
#include "util/strings.h"

#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>
#include <vector>

// The rule: a start with profiles must cost clearly less CPU time.
TEST(ProfileChoice, ProfilesAreKeptOnlyWhenClearlyCheaper) {
    struct {
        std::vector<double> with, without;
        bool kept;
    } cases[] = {
        {{1.00, 1.02, 0.99}, {1.07, 1.10, 1.06}, true},
        {{1.15, 1.12, 1.16}, {1.05, 1.04, 1.06}, false},
        // Within 2%: the smaller archive, without them.
        {{1.00, 1.00, 1.00}, {1.01, 1.01, 1.01}, false},
        {{1.00, 1.00, 1.00}, {1.00, 1.00, 1.00}, false},
        // One slow start in each does not decide.
        {{1.00, 3.00, 1.00}, {1.10, 1.10, 0.10}, true},
        {{}, {1.0}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.kept, keepsProfiles(c.with, c.without))
            << c.with.size() << " " << (c.with.empty() ? 0 : c.with[0]);
    }
}

namespace {

// A launcher that stands in for an image's: a training run ("ship") leaves
// an archive that says "profiled", one without profiles ("ship-static")
// does what the case says, and a start that maps an archive by -J- burns
// the CPU time its case gives that kind. Each run adds a line to "runs".
std::string standInLauncher(const std::string& staticTraining, const std::string& profiledCost,
                            const std::string& staticCost) {
    return "#!/bin/sh\n"
           "d=$(dirname \"$0\")\n"
           "echo \"$LARKWIN_STARTUP_CACHE $*\" >> \"$d/runs\"\n"
           "burn() { i=0; while [ $i -lt $1 ]; do i=$((i+1)); done; }\n"
           "case \"$LARKWIN_STARTUP_CACHE\" in\n"
           "  ship) printf profiled > \"$d/ship/App-k.jsa\"; printf p > \"$d/ship/App-k.jsa.info\";"
           " exit 0 ;;\n"
           "  ship-static) " +
           staticTraining +
           " ;;\n"
           "esac\n"
           "case \"$(cat \"${1#-J-XX:AOTCache=}\")\" in\n"
           "  profiled) " +
           profiledCost + " ;;\n  *) " + staticCost + " ;;\nesac\n";
}

const char* const staticArchive =
    "printf static > \"$d/ship/App-k.jsa\"; printf s > \"$d/ship/App-k.jsa.info\"; exit 0";

// In dir: the stand-in launcher "app", the folder "ship" it trains into, and
// a runtime "jdk" of the version. Trains with the argument (none when
// empty), in a forked child.
processResult train(const scratchDir& dir, const char* version, const std::string& launcherText,
                    const char* argument, int quiet) {
    dir.mkdir("ship");
    dir.mkdir("jdk");
    dir.write("jdk/release", std::string("JAVA_VERSION=\"") + version + "\"\n");
    std::string launcher = dir.write("app", launcherText);
    chmod(launcher.c_str(), 0755);
    return runForked(dir, [&] {
        stringArray arguments;
        if (*argument != 0) {
            arguments.append(createStringCopy(argument));
        }
        trainLauncher(launcher.c_str(), arguments, nullptr, dir.path("ship").c_str(),
                      dir.path("jdk").c_str(), quiet);
        return 0;
    });
}

} // namespace

// Trained on Java 25: the archive with profiles is put aside, the
// application trained again without them, each archive timed by starts in
// turns (the first of each untimed), and the cheaper one shipped alone.
TEST(ImageTraining, OnJava25TheCheaperOfTheTwoArchivesIsShipped) {
    struct {
        const char* staticTraining;
        const char* profiledCost;
        const char* staticCost;
        const char* shipped;
        const char* said;
    } cases[] = {
        {staticArchive, "burn 1", "burn 60000", "profiled", "shipping the archive with them"},
        {staticArchive, "burn 60000", "burn 1", "static", "shipping the archive without them"},
        {"exit 3", "burn 1", "burn 60000", "profiled", "the comparison failed"},
        {"printf x > /dev/null; exit 0", "burn 1", "burn 1", "profiled", "the comparison failed"},
        {staticArchive, "exit 1", "burn 1", "profiled", "the comparison failed"},
    };
    for (const auto& c : cases) {
        scratchDir dir;
        processResult result =
            train(dir, "25.0.3", standInLauncher(c.staticTraining, c.profiledCost, c.staticCost),
                  "a b", 0);
        ASSERT_EQ(0, result.status) << c.staticTraining << result.err;
        EXPECT_NE(std::string::npos, result.out.find(c.said)) << result.out;
        EXPECT_EQ((std::set<std::string>{"App-k.jsa", "App-k.jsa.info"}), filesIn(dir.path("ship")))
            << c.staticTraining;
        EXPECT_EQ(c.shipped, readFile(dir.path("ship/App-k.jsa"))) << c.staticTraining;
        EXPECT_EQ(std::string(c.shipped).substr(0, 1), readFile(dir.path("ship/App-k.jsa.info")));
        std::string runs = readFile(dir.path("runs"));
        EXPECT_EQ(0u, runs.find("ship a b\nship-static a b\n")) << runs;
    }
}

TEST(ImageTraining, TheTimedStartsTakeTurnsAndTheApplicationsArguments) {
    scratchDir dir;
    processResult result =
        train(dir, "25.0.3", standInLauncher(staticArchive, "exit 0", "exit 0"), "-x", 1);
    ASSERT_EQ(0, result.status) << result.err;
    EXPECT_EQ("", result.out) << "quiet";
    std::string profiled = "off -J-XX:AOTCache=" + dir.path("ship/App-k.jsa.profiles") + " -x\n";
    std::string plain = "off -J-XX:AOTCache=" + dir.path("ship/App-k.jsa") + " -x\n";
    std::string expected = "ship -x\nship-static -x\n";
    for (int round = 0; round <= timedStarts; round++) {
        expected += round % 2 == 0 ? profiled + plain : plain + profiled;
    }
    EXPECT_EQ(expected, readFile(dir.path("runs")));
}

// Before Java 25 there are no profiles: one training run, its archive shipped.
TEST(ImageTraining, BeforeJava25OneRunMakesTheArchive) {
    scratchDir dir;
    processResult result =
        train(dir, "17.0.15", standInLauncher(staticArchive, "exit 0", "exit 0"), "", 1);
    ASSERT_EQ(0, result.status) << result.err;
    EXPECT_EQ("ship \n", readFile(dir.path("runs")));
    EXPECT_EQ("profiled", readFile(dir.path("ship/App-k.jsa")));
}
