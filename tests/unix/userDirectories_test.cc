#include "testSupport.h"
#include "unix/userDirectories.h"

#include <gtest/gtest.h>

namespace {

std::string homeOf(const std::string& passwd, unsigned uid) {
    scratchDir dir;
    ownedString home(createPasswdHome(dir.write("passwd", passwd).c_str(), uid));
    return home != nullptr ? home.get() : "(none)";
}

} // namespace

TEST(PasswdHome, TheFirstEntryOfTheUidGivesItsHome) {
    std::string passwd = "root:x:0:0:root:/root:/bin/sh\n"
                         "u:x:1000:1000:User,,,:/home/u:/bin/bash\n"
                         "again:x:1000:1000::/home/again:/bin/sh\n";
    EXPECT_EQ("/root", homeOf(passwd, 0));
    EXPECT_EQ("/home/u", homeOf(passwd, 1000));
    EXPECT_EQ("(none)", homeOf(passwd, 100));
}

TEST(PasswdHome, OnlyAWholeNumericUidMatches) {
    EXPECT_EQ("(none)", homeOf("a:x:1000x:0::/a:/bin/sh\n", 1000));
    EXPECT_EQ("(none)", homeOf("a:x::0::/a:/bin/sh\n", 0));
    EXPECT_EQ("(none)", homeOf("a:x: 7:0::/a:/bin/sh\n", 7));
    EXPECT_EQ("/b", homeOf("a:x:1000x:0::/a:/bin/sh\nb:x:01000:0::/b:/bin/sh\n", 1000));
}

TEST(PasswdHome, MalformedAndCompatLinesAreSkipped) {
    std::string passwd = "+::::::\n"
                         "short:x:5\n"
                         "\n"
                         "ok:x:5:5::/home/ok:/bin/sh";
    EXPECT_EQ("/home/ok", homeOf(passwd, 5));
}

TEST(PasswdHome, AnEmptyOrRelativeHomeGivesNone) {
    EXPECT_EQ("(none)", homeOf("a:x:5:5:::/bin/sh\n", 5));
    EXPECT_EQ("(none)", homeOf("a:x:5:5::home/a:/bin/sh\n", 5));
    // Seven fields make an entry, even when the shell is empty.
    EXPECT_EQ("(none)", homeOf("a:x:5:5::/home/a\n", 5));
    EXPECT_EQ("/home/a", homeOf("a:x:5:5::/home/a:\n", 5));
}

TEST(PasswdHome, LongLinesAreReadWhole) {
    std::string gecos(100000, 'g');
    EXPECT_EQ("/home/long", homeOf("l:x:9:9:" + gecos + ":/home/long:/bin/sh\n", 9));
}

TEST(PasswdHome, AMissingFileGivesNone) {
    EXPECT_EQ(nullptr, createPasswdHome("/nonexistent/passwd", 0));
}

TEST(UserDirectories, AnAbsoluteHomeWinsOverPasswd) {
    environmentVariable home("HOME", "/somewhere/else");
    ownedString found(createUserHome());
    EXPECT_STREQ("/somewhere/else", found.get());
}

TEST(UserDirectories, XdgFallsBackBelowTheHome) {
    environmentVariable home("HOME", "/h");
    environmentVariable unset("XDG_DATA_HOME", "./relative");
    environmentVariable set("XDG_CACHE_HOME", "/c");
    ownedString data(createXdgDirectory("XDG_DATA_HOME", "/.local/share"));
    ownedString cache(createXdgDirectory("XDG_CACHE_HOME", "/.cache"));
    EXPECT_STREQ("/h/.local/share", data.get());
    EXPECT_STREQ("/c", cache.get());
}
