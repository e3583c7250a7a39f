#include "cache/shortRunsRecord.h"
#include "testSupport.h"

#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
struct parseCase {
    const char* name;
    std::string text;
    std::string expected;
};

std::string describe(const shortRunSample* samples, int count) {
    std::string text;
    for (int i = 0; i < count; i++) {
        text += (i > 0 ? " " : "") + std::string(samples[i].mode == c1OnlyMode ? "C" : "T") +
                std::to_string(samples[i].cpuMicroseconds);
    }
    return text;
}

TEST(ShortRunsRecord, ParsesWellFormedLinesAndSkipsTheRest) {
    const parseCase cases[] = {
        {"empty", "", ""},
        {"two runs", "s1 T 150000\ns1 C 99\n", "T150000 C99"},
        {"last line cut short", "s1 T 150000\ns1 C 99", "T150000"},
        {"another version", "s2 T 5\ns1 C 7\n", "C7"},
        {"unknown mode", "s1 X 5\ns1 c 5\n", ""},
        {"no number, a sign, spaces", "s1 T \ns1 T -5\ns1 T 5 \ns1  T 5\n", ""},
        {"sixteen digits", "s1 T 1234567890123456\ns1 T 123456789012345\n", "T123456789012345"},
        {"binary garbage", std::string("\0\x01s1 T 9\n\xff\n", 11) + "s1 C 3\n", "C3"},
        {"carriage return", "s1 T 5\r\ns1 C 6\n", "C6"},
        {"a record of the cache instead", "larkwin startup cache record 1\nsize 12\n", ""},
    };
    for (const parseCase& c : cases) {
        shortRunSample samples[8];
        int count = parseShortRuns(c.text.data(), (long)c.text.size(), samples, 8);
        EXPECT_EQ(c.expected, describe(samples, count)) << c.name;
    }
}

TEST(ShortRunsRecord, KeepsTheLastRunsWhereThereAreMore) {
    std::string text;
    for (int i = 1; i <= 10; i++) {
        text += "s1 T " + std::to_string(i) + "\n";
    }
    shortRunSample samples[3];
    EXPECT_EQ("T8 T9 T10",
              describe(samples, parseShortRuns(text.data(), (long)text.size(), samples, 3)));
}

TEST(ShortRunsRecord, AppendsReadsAndStaysBounded) {
    scratchDir dir;
    std::string path = dir.path("A.jsa.runs");
    for (int i = 0; i < 400; i++) {
        ASSERT_TRUE(appendShortRun(path.c_str(), {i % 2 ? c1OnlyMode : allTiersMode, 1000000 + i}));
    }
    struct stat status;
    ASSERT_EQ(0, stat(path.c_str(), &status));
    EXPECT_LE(status.st_size, compactedBytes);
    EXPECT_EQ(0600u, status.st_mode & 0777);
    shortRunSample samples[keptRuns + 10];
    int count = readShortRuns(path.c_str(), samples, keptRuns + 10);
    ASSERT_GE(count, keptRuns);
    EXPECT_EQ(1000399, samples[count - 1].cpuMicroseconds);
    EXPECT_EQ(c1OnlyMode, samples[count - 1].mode);
    for (int i = 1; i < count; i++) {
        EXPECT_EQ(samples[i - 1].cpuMicroseconds + 1, samples[i].cpuMicroseconds);
    }
}

TEST(ShortRunsRecord, RunsThatEndAtOnceLoseNothing) {
    scratchDir dir;
    std::string path = dir.path("A.jsa.runs");
    // Enough appends to compact the file several times over.
    const int writers = 4;
    const int each = 60;
    pid_t children[writers];
    for (int w = 0; w < writers; w++) {
        children[w] = fork();
        if (children[w] == 0) {
            for (int i = 0; i < each; i++) {
                appendShortRun(path.c_str(), {allTiersMode, (long long)(w * 1000 + i)});
            }
            _exit(0);
        }
    }
    for (pid_t child : children) {
        int status;
        ASSERT_EQ(child, waitpid(child, &status, 0));
    }
    // Compaction keeps the last 40; each writer's runs stay in order, and
    // the last writer's last run is there.
    shortRunSample samples[keptRuns + 20];
    int count = readShortRuns(path.c_str(), samples, keptRuns + 20);
    ASSERT_GE(count, keptRuns);
    int lastOfEach[writers] = {-1, -1, -1, -1};
    int finished = 0;
    for (int i = 0; i < count; i++) {
        int w = (int)(samples[i].cpuMicroseconds / 1000);
        int seq = (int)(samples[i].cpuMicroseconds % 1000);
        ASSERT_LT(w, writers);
        EXPECT_GT(seq, lastOfEach[w]);
        lastOfEach[w] = seq;
        finished += seq == each - 1;
    }
    EXPECT_GE(finished, 1);
}

TEST(ShortRunsRecord, ConcurrentAppendsBelowTheBoundAreAllKept) {
    scratchDir dir;
    std::string path = dir.path("A.jsa.runs");
    pid_t children[2];
    for (int w = 0; w < 2; w++) {
        children[w] = fork();
        if (children[w] == 0) {
            for (int i = 0; i < 20; i++) {
                appendShortRun(path.c_str(), {c1OnlyMode, (long long)(w * 100 + i)});
            }
            _exit(0);
        }
    }
    for (pid_t child : children) {
        int status;
        ASSERT_EQ(child, waitpid(child, &status, 0));
    }
    shortRunSample samples[64];
    EXPECT_EQ(40, readShortRuns(path.c_str(), samples, 64));
}

TEST(ShortRunsRecord, RefusesARecordOthersMayWriteOrALink) {
    scratchDir dir;
    std::string path = dir.write("A.jsa.runs", "s1 T 5\n");
    shortRunSample samples[4];
    chmod(path.c_str(), 0620);
    EXPECT_EQ(0, readShortRuns(path.c_str(), samples, 4));
    EXPECT_FALSE(appendShortRun(path.c_str(), {allTiersMode, 6}));
    chmod(path.c_str(), 0600);
    EXPECT_EQ(1, readShortRuns(path.c_str(), samples, 4));
    std::string link = dir.path("B.jsa.runs");
    ASSERT_EQ(0, symlink(path.c_str(), link.c_str()));
    EXPECT_EQ(0, readShortRuns(link.c_str(), samples, 4));
    EXPECT_FALSE(appendShortRun(link.c_str(), {allTiersMode, 6}));
    EXPECT_EQ(0, readShortRuns(dir.path("missing").c_str(), samples, 4));
}
} // namespace
