#include "runtime/runtimeChoice.h"
#include "runtime/runtimeChoiceReport.h"
#include "testSupport.h"
#include "util/strings.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {
struct row {
    const char* path;
    runtimeOrigin origin;
    int exists;
    int version;
};

versionRequirement required(const char* text) {
    versionRequirement requirement;
    if (text != nullptr) {
        parseVersionRequirement(text, &requirement);
    }
    return requirement;
}

// The table of candidates and the choice made over it.
struct choice {
    choice(std::vector<row> rows, const char* requirementText)
        : requirement(required(requirementText)) {
        for (const row& r : rows) {
            candidates.add(createStringCopy(r.path), r.origin, r.exists, r.version);
        }
        chosen = chooseRuntime(candidates, requirement);
    }

    std::string taken() const { return chosen >= 0 ? candidates[chosen].javaPath : "none"; }
    runtimeVerdict verdict(int i) const { return candidates[i].verdict; }
    std::string text(char* owned) const { return ownedString(owned).get(); }

    runtimeCandidates candidates;
    versionRequirement requirement;
    int chosen;
};

const runtimeOrigin home = javaHomeRuntime;
const runtimeOrigin path = pathRuntime;
const runtimeOrigin searched = searchedRuntime;
const runtimeOrigin configured = configuredRuntime;
} // namespace

TEST(RuntimeChoice, FirstOfJavaHomeAndPathThatFitsWinsOverAnyHigherSearchedOne) {
    choice c({{"/home/java", home, 1, 11}, {"/path/java", path, 1, 17}, {"/s/25", searched, 1, 25}},
             "17");
    EXPECT_EQ("/path/java", c.taken());
    EXPECT_EQ(verdictDoesNotFit, c.verdict(0));
    EXPECT_EQ(verdictEarlierTaken, c.verdict(2));
    choice both({{"/home/java", home, 1, 21}, {"/path/java", path, 1, 17}}, "17");
    EXPECT_EQ("/home/java", both.taken());
}

TEST(RuntimeChoice, OtherwiseTheHighestFittingSearchedVersionFirstSeenOnATie) {
    choice c({{"/home/java", home, 0, 0},
              {"/s/11", searched, 1, 11},
              {"/s/17a", searched, 1, 17},
              {"/s/25", searched, 1, 25},
              {"/s/17b", searched, 1, 17},
              {"/s/unknown", searched, 1, 0}},
             "11-21");
    EXPECT_EQ("/s/17a", c.taken());
    EXPECT_EQ(verdictMissing, c.verdict(0));
    EXPECT_EQ(verdictLowerVersion, c.verdict(1));
    EXPECT_EQ(verdictDoesNotFit, c.verdict(3));
    EXPECT_EQ(verdictSameVersionEarlier, c.verdict(4));
    EXPECT_EQ(verdictDoesNotFit, c.verdict(5));
}

TEST(RuntimeChoice, WithoutARequirementTheFirstThatExistsWins) {
    choice named(
        {{"/home/java", home, 0, 0}, {"/path/java", path, 1, 0}, {"/s/25", searched, 1, 25}},
        nullptr);
    EXPECT_EQ("/path/java", named.taken());
    choice searchedOnly({{"/s/8", searched, 1, 8}, {"/s/25", searched, 1, 25}}, nullptr);
    EXPECT_EQ("/s/8", searchedOnly.taken());
    EXPECT_EQ(verdictEarlierTaken, searchedOnly.verdict(1));
    choice nothing({{"/home/java", home, 0, 0}}, nullptr);
    EXPECT_EQ("none", nothing.taken());
}

TEST(RuntimeChoice, AConfiguredJavaPathIsTakenOrReportedButNeverReplaced) {
    choice fits({{"/cfg/java", configured, 1, 17}, {"/path/java", path, 1, 21}}, "17");
    EXPECT_EQ("/cfg/java", fits.taken());
    choice misses(
        {{"/cfg/java", configured, 1, 11}, {"/path/java", path, 1, 21}, {"/s/21", searched, 1, 21}},
        "17");
    EXPECT_EQ("none", misses.taken());
    EXPECT_EQ(verdictDoesNotFit, misses.verdict(0));
    EXPECT_EQ(verdictJavaPathConfigured, misses.verdict(1));
    EXPECT_EQ(verdictJavaPathConfigured, misses.verdict(2));
    choice missing({{"/cfg/java", configured, 0, 0}, {"/s/21", searched, 1, 21}}, nullptr);
    EXPECT_EQ("none", missing.taken());
    EXPECT_EQ(verdictMissing, missing.verdict(0));
    choice unknown({{"/cfg/java", configured, 1, 0}}, nullptr);
    EXPECT_EQ("/cfg/java", unknown.taken());
}

TEST(RuntimeChoice, NothingFitsWhenEveryVersionIsOutOfRangeOrUnknown) {
    choice c({{"/path/java", path, 1, 0}, {"/s/8", searched, 1, 8}, {"/s/25", searched, 1, 25}},
             "11-21");
    EXPECT_EQ("none", c.taken());
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(verdictDoesNotFit, c.verdict(i));
    }
}

TEST(RuntimeChoice, APathSeenTwiceIsListedOnce) {
    choice c({{"/jvm/17/bin/java", path, 1, 17}, {"/jvm/17/bin/java", searched, 1, 17}}, "21");
    EXPECT_EQ(1, c.candidates.size());
    EXPECT_EQ(pathRuntime, c.candidates[0].origin);
}

TEST(RuntimeChoiceReport, TraceGivesEveryCandidateItsVersionAndVerdict) {
    choice c(
        {{"/cfg/java", configured, 1, 0}, {"/home/java", home, 0, 0}, {"/s/25", searched, 1, 25}},
        "11-17");
    EXPECT_EQ("Choosing a Java runtime of version 11 to 17:\n"
              "  javapath /cfg/java, version unknown: reported, its version does not fit\n"
              "  JAVA_HOME /home/java: passed over, javapath is configured\n"
              "  searched /s/25, version 25: passed over, javapath is configured\n",
              c.text(createChoiceTrace(c.candidates, c.requirement)));
    choice none({{"/s/8", searched, 1, 8}}, nullptr);
    EXPECT_EQ("Choosing a Java runtime:\n  searched /s/8, version 8: taken\n",
              none.text(createChoiceTrace(none.candidates, none.requirement)));
}

TEST(RuntimeChoiceReport, NoRuntimeMessageListsEveryRuntimeSeenAndWhereToGetOne) {
    choice c({{"/home/java", home, 0, 0}, {"/path/java", path, 1, 0}, {"/s/25", searched, 1, 25}},
             "11-17");
    EXPECT_EQ(
        "Unable to find a Java Runtime of version 11 to 17. Runtimes seen:\n"
        "  /path/java: version unknown\n"
        "  /s/25: version 25\n"
        "Please download and install a Java Runtime from\nhttps://get.example/java",
        c.text(createNoRuntimeMessage(c.candidates, c.requirement, "https://get.example/java")));
    choice empty({}, nullptr);
    EXPECT_EQ("Unable to find a Java Runtime. None was seen in JAVA_HOME, along PATH, in the "
              "javasearch directories or in the usual install places.\n"
              "Please download and install a Java Runtime from\nURL",
              empty.text(createNoRuntimeMessage(empty.candidates, empty.requirement, "URL")));
}

TEST(RuntimeChoiceReport, JavaPathMessageSaysWhyAndListsTheOthers) {
    choice misses({{"/cfg/java", configured, 1, 11}, {"/s/21", searched, 1, 21}}, "17");
    EXPECT_EQ("The configured javapath /cfg/java is version 11, which does not fit the required "
              "version 17 or later. Other runtimes seen:\n"
              "  /s/21: version 21\n"
              "Change javapath or javaversion, or download and install a Java Runtime from\nURL",
              misses.text(createJavaPathMessage(misses.candidates, misses.requirement, "URL")));
    choice unknown({{"/cfg/java", configured, 1, 0}}, "17");
    EXPECT_EQ("The configured javapath /cfg/java is of unknown version (no readable release "
              "file), which does not fit the required version 17 or later.\n"
              "Change javapath or javaversion, or download and install a Java Runtime from\nURL",
              unknown.text(createJavaPathMessage(unknown.candidates, unknown.requirement, "URL")));
    choice missing({{"/cfg/java", configured, 0, 0}}, nullptr);
    EXPECT_EQ("The configured javapath /cfg/java does not exist.\n"
              "Change javapath or javaversion, or download and install a Java Runtime from\nURL",
              missing.text(createJavaPathMessage(missing.candidates, missing.requirement, "URL")));
}
