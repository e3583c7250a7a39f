#include "testSupport.h"
#include "unix/exePath.h"

#include <gtest/gtest.h>

static std::string exePath(const char* name) {
    ownedString result(createExePath(const_cast<char*>(name)));
    return result ? result.get() : "(null)";
}

TEST(ExePath, AbsoluteNameIsTakenUnchecked) {
    EXPECT_EQ("/opt/app/bin/app", exePath("/opt/app/bin/app"));
    EXPECT_EQ("(null)", exePath(nullptr));
}

TEST(ExePath, RelativeNameWithSlashResolvesAgainstWorkingDirectory) {
    scratchDir dir;
    workingDirectory here(dir.root);
    EXPECT_EQ(dir.root + "/bin/app", exePath("bin/app"));
}

TEST(ExePath, BareNameSearchesPathInOrderWithEmptyElementAsWorkingDirectory) {
    scratchDir dir;
    dir.mkdir("first");
    dir.mkdir("cwd");
    dir.mkdir("last");
    dir.write("last/app", "");
    std::string path = dir.path("first") + "::" + dir.path("last");
    environmentVariable pathVariable("PATH", path.c_str());
    workingDirectory here(dir.path("cwd"));
    EXPECT_EQ(dir.path("last/app"), exePath("app"));
    dir.write("cwd/app", "");
    EXPECT_EQ(dir.path("cwd/app"), exePath("app"));
    dir.mkdir("first/app");
    EXPECT_EQ(dir.path("first/app"), exePath("app"));
}

TEST(ExePath, TrailingColonDoesNotSearchWorkingDirectory) {
    scratchDir dir;
    dir.mkdir("empty");
    dir.write("app", "");
    workingDirectory here(dir.root);
    std::string path = dir.path("empty") + ":";
    environmentVariable pathVariable("PATH", path.c_str());
    EXPECT_EQ("(null)", exePath("app"));
    std::string leading = ":" + dir.path("empty");
    environmentVariable leadingPath("PATH", leading.c_str());
    EXPECT_EQ(dir.path("app"), exePath("app"));
}

TEST(ExePath, UnsetEmptyOrMissingPathGivesNull) {
    environmentVariable unset("PATH", nullptr);
    EXPECT_EQ("(null)", exePath("app"));
    environmentVariable empty("PATH", "");
    EXPECT_EQ("(null)", exePath("app"));
    environmentVariable missing("PATH", "/no/such/dir:/no/other");
    EXPECT_EQ("(null)", exePath("app"));
}

TEST(ExePath, ExecutablePathResolvesLinks) {
    scratchDir dir;
    dir.write("real", "");
    symlink(dir.path("real").c_str(), dir.path("link").c_str());
    std::string link = dir.path("link");
    HACKexePath = &link[0];
    ownedString canonical(getExecutablePath());
    HACKexePath = nullptr;
    EXPECT_EQ(dir.path("real"), canonical.get());
}

TEST(ExePath, TestFileSeesAnyKindOfEntry) {
    scratchDir dir;
    std::string sub = dir.mkdir("sub");
    std::string missing = dir.path("missing");
    EXPECT_EQ(1, testFile(&sub[0]));
    EXPECT_EQ(0, testFile(&missing[0]));
}
