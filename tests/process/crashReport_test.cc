#include "process/crashReport.h"
#include "testSupport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

namespace {
void setAge(const std::string& path, long secondsAgo) {
    struct timespec times[2];
    clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= secondsAgo;
    times[1] = times[0];
    utimensat(AT_FDCWD, path.c_str(), times, 0);
}

std::string reportFor(const char* errorFile, pid_t pid, time_t started) {
    ownedString path(createCrashReportPath(errorFile, pid, started));
    return path ? path.get() : "(none)";
}

std::string listing(const scratchDir& dir) {
    std::string names;
    for (const char* name : {"hs_err_pid1.log", "hs_err_pid2.log", "hs_err_pid3.log",
                             "java_pid4.hprof", "notes.txt", "hs_err_pid5.txt"}) {
        struct stat status;
        if (stat(dir.path(name).c_str(), &status) == 0) {
            names += std::string(name) + " ";
        }
    }
    return names;
}
} // namespace

TEST(CrashReportTest, FoundWhereTheJvmWritesIt) {
    scratchDir dir;
    workingDirectory inDir(dir.root);
    time_t started = time(nullptr) - 5;
    stringArray options;
    options.append(createStringCopy("-XX:ErrorFile=first/%p.log"));
    options.append(createStringCopy("-Xmx8m"));
    options.append(createStringCopy("-XX:ErrorFile=reports/err_%p_%%p.log"));
    const char* pattern = findErrorFilePattern(options);
    ASSERT_STREQ("reports/err_%p_%%p.log", pattern);

    EXPECT_EQ("(none)", reportFor(pattern, 42, started));
    dir.write("hs_err_pid42.log", "in the working directory");
    EXPECT_EQ(dir.path("hs_err_pid42.log"), reportFor(pattern, 42, started));
    // The configured file comes first; %p is the pid, %% a '%'.
    dir.mkdir("reports");
    dir.write("reports/err_42_%p.log", "where it was asked for");
    EXPECT_EQ(dir.path("reports/err_42_%p.log"), reportFor(pattern, 42, started));
    EXPECT_EQ(dir.path("hs_err_pid42.log"), reportFor(nullptr, 42, started));
}

TEST(CrashReportTest, AnOlderReportOfTheSamePidIsNotTheCrashs) {
    scratchDir dir;
    workingDirectory inDir(dir.root);
    std::string old = dir.write("hs_err_pid77.log", "an earlier process's");
    setAge(old, 3600);
    EXPECT_EQ("(none)", reportFor(nullptr, 77, time(nullptr) - 60));
    dir.mkdir("hs_err_pid78.log");
    EXPECT_EQ("(none)", reportFor(nullptr, 78, time(nullptr) - 60)) << "a directory is no report";
}

// Only a regular file of the running user's counts: another user may plant
// one, or a link to one of this user's, under the report's name in /tmp.
TEST(CrashReportTest, APlantedReportIsNotAnnounced) {
    scratchDir dir;
    workingDirectory inDir(dir.root);
    time_t started = time(nullptr) - 5;
    std::string own = dir.write("own.log", "this user's");
    ASSERT_EQ(0, symlink(own.c_str(), dir.path("hs_err_pid51.log").c_str()));
    EXPECT_EQ("(none)", reportFor(nullptr, 51, started)) << "a link";
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a file to another user";
    }
    std::string planted = dir.write("hs_err_pid52.log", "another user's");
    ASSERT_EQ(0, chown(planted.c_str(), 65534, 65534));
    EXPECT_EQ("(none)", reportFor(nullptr, 52, started)) << "another user's file";
    ASSERT_EQ(0, chown(planted.c_str(), 0, 0));
    EXPECT_EQ(planted, reportFor(nullptr, 52, started)) << "the same file, this user's";
}

TEST(CrashReportTest, CrashDirectoryOptionsComeBeforeTheConfiguredOnes) {
    stringArray options;
    addCrashDirectoryOptions(&options, "/var/lib/app/crash");
    EXPECT_EQ(
        "-XX:ErrorFile=/var/lib/app/crash/hs_err_pid%p.log|-XX:HeapDumpPath=/var/lib/app/crash",
        joined(options));
}

TEST(CrashDirectoryTest, TheNewestStaysAndOlderGoBeyondTheBounds) {
    scratchDir dir;
    dir.write("hs_err_pid1.log", std::string(100, 'a'));
    dir.write("hs_err_pid2.log", std::string(100, 'b'));
    dir.write("hs_err_pid3.log", std::string(100, 'c'));
    dir.write("java_pid4.hprof", std::string(1000, 'd'));
    dir.write("notes.txt", "not the JVM's");
    dir.write("hs_err_pid5.txt", "not a report's name");
    setAge(dir.path("hs_err_pid1.log"), 400);
    setAge(dir.path("hs_err_pid2.log"), 300);
    setAge(dir.path("hs_err_pid3.log"), 200);
    setAge(dir.path("notes.txt"), 1000);
    setAge(dir.path("hs_err_pid5.txt"), 1000);
    setAge(dir.path("java_pid4.hprof"), 100);
    time_t started = time(nullptr) - 50;

    boundCrashDirectory(dir.root.c_str(), 10, 100000, started);
    EXPECT_EQ("hs_err_pid1.log hs_err_pid2.log hs_err_pid3.log java_pid4.hprof notes.txt "
              "hs_err_pid5.txt ",
              listing(dir))
        << "within the bounds nothing goes";
    boundCrashDirectory(dir.root.c_str(), 3, 100000, started);
    EXPECT_EQ("hs_err_pid2.log hs_err_pid3.log java_pid4.hprof notes.txt hs_err_pid5.txt ",
              listing(dir))
        << "beyond the count the oldest goes";
    // The newest dump alone is larger than the bound: it stays, the rest goes.
    boundCrashDirectory(dir.root.c_str(), 3, 500, started);
    EXPECT_EQ("java_pid4.hprof notes.txt hs_err_pid5.txt ", listing(dir));
    boundCrashDirectory(dir.path("missing").c_str(), 3, 500, started);
}

// The JVM writes a heap dump first and its report a moment later: neither is
// removed by the bound, whatever their sizes, nor anything else of the run.
TEST(CrashDirectoryTest, TheLastRunsFilesAlwaysStay) {
    scratchDir dir;
    dir.write("hs_err_pid1.log", "an old report");
    setAge(dir.path("hs_err_pid1.log"), 400);
    time_t started = time(nullptr) - 2;
    dir.write("java_pid9.hprof", std::string(1000, 'd'));
    dir.write("hs_err_pid9.log", std::string(100, 'r'));
    setAge(dir.path("java_pid9.hprof"), 1);
    boundCrashDirectory(dir.root.c_str(), 1, 500, started);
    EXPECT_EQ("", listing(dir)) << "the old report goes";
    EXPECT_EQ("1000 100", std::to_string(readFile(dir.path("java_pid9.hprof")).size()) + " " +
                              std::to_string(readFile(dir.path("hs_err_pid9.log")).size()));
}
