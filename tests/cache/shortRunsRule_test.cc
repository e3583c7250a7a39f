#include "cache/shortRunsRecord.h"
#include "cache/shortRunsRule.h"
#include "util/owned.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {
const shortRunsMode T = allTiersMode;
const shortRunsMode C = c1OnlyMode;

// Runs written as "T150 C100 ...": mode and CPU time in milliseconds.
std::vector<shortRunSample> runs(const std::string& text) {
    std::vector<shortRunSample> samples;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find(' ', at);
        std::string item = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        samples.push_back({item[0] == 'C' ? C : T, std::stoll(item.substr(1)) * 1000});
        at = end == std::string::npos ? text.size() : end + 1;
    }
    return samples;
}

std::string repeated(const std::string& item, int times) {
    std::string text;
    for (int i = 0; i < times; i++) {
        text += (i > 0 ? " " : "") + item;
    }
    return text;
}

shortRunsChoice choose(const std::vector<shortRunSample>& samples) {
    return chooseShortRunsMode(samples.data(), (int)samples.size());
}

struct ruleCase {
    const char* name;
    std::string history;
    shortRunsMode mode;
    shortRunsReason reason;
};

TEST(ShortRunsRule, ChoosesFromRecordedRuns) {
    const std::string learned = "T150 C100 T152 C101 T149 C99";
    const ruleCase cases[] = {
        {"no runs yet: all tiers first", "", T, learningReason},
        {"one all-tiers run: C1 next", "T150", C, learningReason},
        {"two of each: all tiers", "T150 C100 T150 C100", T, learningReason},
        {"five of one mode, two of the other", "T150 T150 T150 T150 T150 C90 C90", C,
         learningReason},
        {"C1 clearly cheaper", learned, C, cheaperReason},
        {"C1 dearer (a hot loop)", "T700 C1330 T710 C1340 T690 C1320", T, notCheaperReason},
        {"C1 within noise (3% cheaper)", "T100 C97 T100 C97 T100 C97", T, notCheaperReason},
        {"C1 exactly equal", "T100 C100 T100 C100 T100 C100", T, notCheaperReason},
        {"18 runs since all tiers: no retry yet", learned + " " + repeated("C100", 17), C,
         cheaperReason},
        {"19 runs since all tiers: all tiers again", learned + " " + repeated("C100", 18), T,
         retryReason},
        {"19 runs since a C1 run 1.3 times dearer: C1 again",
         "T700 C910 T710 C920 T690 C900 " + repeated("T700", 19), C, retryReason},
        {"19 runs since a C1 run 1.9 times dearer: not yet",
         "T700 C1330 T710 C1340 T690 C1320 " + repeated("T700", 19), T, notCheaperReason},
        {"39 runs since a C1 run 1.9 times dearer: C1 again",
         "T700 C1330 T710 C1340 T690 C1320 " + repeated("T700", 39), C, retryReason},
        {"39 runs since a C1 run 3.4 times dearer: not yet",
         "T700 C2380 T710 C2390 T690 C2370 " + repeated("T700", 39), T, notCheaperReason},
        {"79 runs since a C1 run 3.4 times dearer: C1 again",
         "T700 C2380 T710 C2390 T690 C2370 " + repeated("T700", 79), C, retryReason},
        {"79 runs since a C1 run 4.8 times dearer: not yet",
         "T640 C3080 T650 C3090 T630 C3070 " + repeated("T640", 79), T, notCheaperReason},
        {"159 runs since a C1 run 4.8 times dearer: C1 again",
         "T640 C3080 T650 C3090 T630 C3070 " + repeated("T640", 159), C, retryReason},
        {"the wait follows the last trial, not the learning runs",
         "T700 C2380 T710 C2390 T690 C2370 " + repeated("T700", 19) + " C800 " +
             repeated("T700", 19),
         C, retryReason},
        {"a long record with one run of all tiers is past learning",
         repeated("C100", 10) + " T150 " + repeated("C100", 15), C, cheaperReason},
        {"a long record without all tiers learns again", repeated("C100", 25), T, learningReason},
        {"C1 grew 40% dearer, still below all tiers", learned + " C100 C100 C100 C140 C140 C140", T,
         slowerReason},
        {"C1 grew 20% dearer: kept", learned + " C100 C100 C100 C120 C120 C120", C, cheaperReason},
        {"after the slower retry, no second one", learned + " C100 C100 C100 C140 C140 C140 T120",
         T, confirmReason},
        {"the retry cost more: back, no confirmation",
         learned + " C100 C100 C100 C140 C140 C140 T160", C, cheaperReason},
        {"one cheap retry confirmed, then chosen",
         learned + " C100 C100 C100 C140 C140 C140 T120 T120", T, notCheaperReason},
        {"a cheap trial of C1 after all tiers: once more", "T100 C96 T100 C96 T100 C96 T100 C90", C,
         confirmReason},
        {"a cheap trial is confirmed once only", "T100 C96 T100 C96 T100 C96 T100 C90 C96", T,
         notCheaperReason},
        {"an outlier does not move the median", learned + " C100 C900 C100", C, cheaperReason},
    };
    for (const ruleCase& c : cases) {
        shortRunsChoice choice = choose(runs(c.history));
        EXPECT_EQ(c.mode, choice.mode) << c.name;
        EXPECT_EQ(c.reason, choice.reason) << c.name;
    }
}

TEST(ShortRunsRule, TellsTheMediansOfEachModesLastRuns) {
    shortRunsChoice choice = choose(runs("T900 C100 T150 C101 T152 C99 T149"));
    EXPECT_EQ(150000, choice.medians[T]);
    EXPECT_EQ(100000, choice.medians[C]);
    EXPECT_EQ(4, choice.runs[T]);
    EXPECT_EQ(3, choice.runs[C]);
    ownedString report(createShortRunsReport(choice));
    EXPECT_STREQ("C1 only: C1 only costs clearly less CPU time; median CPU time all tiers 0.150 s "
                 "(4 runs), C1 only 0.100 s (3 runs)",
                 report.get());
    ownedString first(createShortRunsReport(choose({})));
    EXPECT_STREQ(
        "all tiers: measuring both modes in turn; median CPU time all tiers none (0 runs), "
        "C1 only none (0 runs)",
        first.get());
}

// Each run costs what cost(mode, run) says; the record keeps its last 40.
struct simulation {
    std::vector<shortRunSample> record;
    std::vector<shortRunsMode> taken;

    template <typename F> void run(int count, F cost) {
        for (int i = 0; i < count; i++) {
            shortRunsMode mode = choose(record).mode;
            taken.push_back(mode);
            record.push_back({mode, cost(mode, (int)taken.size() - 1) * 1000});
            if (record.size() > (size_t)keptRuns) {
                record.erase(record.begin());
            }
        }
    }
    int count(shortRunsMode mode, int from, int to) const {
        int n = 0;
        for (int i = from; i < to; i++) {
            n += taken[i] == mode;
        }
        return n;
    }
};

TEST(ShortRunsRule, FollowsAShiftInTheWorkAfterFiftyRuns) {
    simulation s;
    // C1 costs 100 ms and all tiers 150; from run 50 on, a hot loop makes
    // C1 cost 300 and all tiers 200.
    s.run(100, [](shortRunsMode mode, int run) {
        return run < 50 ? (mode == C ? 100LL : 150LL) : (mode == C ? 300LL : 200LL);
    });
    EXPECT_GE(s.count(C, 6, 50), 40);
    EXPECT_LE(s.count(C, 50, 100), 6);
    // All tiers grew dearer too: C1 is tried once more, at once.
    EXPECT_EQ(1, s.count(C, 55, 70));
    EXPECT_EQ(T, choose(s.record).mode);
}

TEST(ShortRunsRule, FollowsWorkThatTurnsShortAndSpendsFewRunsRetrying) {
    simulation s;
    // A hot loop (C1 1.9 times dearer) for 60 runs, then short runs.
    s.run(120, [](shortRunsMode mode, int run) {
        return run < 60 ? (mode == C ? 1330LL : 700LL) : (mode == C ? 60LL : 100LL);
    });
    EXPECT_LE(s.count(C, 6, 60), 4);
    EXPECT_GE(s.count(C, 100, 120), 19);
}

TEST(ShortRunsRule, AHotLoopPaysForFewTrialsOfC1) {
    // C1 7 times dearer (the loop of 1.4 s on JDK 25): after the learning
    // runs, a trial every 160 runs.
    simulation s;
    s.run(400, [](shortRunsMode mode, int) { return mode == C ? 10500LL : 1500LL; });
    EXPECT_GE(s.count(C, 6, 400), 2);
    EXPECT_LE(s.count(C, 6, 400), 3);
    EXPECT_EQ(T, choose(s.record).mode);
}

TEST(ShortRunsRule, NeverKeepsTheModeThatMeasuredSlower) {
    for (long long c1 : {80LL, 96LL, 104LL, 200LL}) {
        simulation s;
        s.run(60, [c1](shortRunsMode mode, int) { return mode == C ? c1 : 100LL; });
        shortRunsMode cheaper = c1 < 95 ? C : T;
        EXPECT_GE(s.count(cheaper, 6, 60), 50) << c1;
    }
}
} // namespace
