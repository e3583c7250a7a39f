#include "config/expansion.h"
#include "configTestSupport.h"
#include "unix/userDirectories.h"

#include <gtest/gtest.h>

namespace {

std::string expanded(const std::string& text, const char* configDirectory = "/conf") {
    ownedString result(createExpandedText(text.c_str(), configDirectory));
    return result.get();
}

std::string expansionFailure(const std::string& text) {
    return thrownMessage([&] { expanded(text); });
}

} // namespace

TEST(Expansion, TextWithoutDollarsAndDoubledDollarsStayLiteral) {
    EXPECT_EQ("-Dx=1 {braces} # and spaces", expanded("-Dx=1 {braces} # and spaces"));
    EXPECT_EQ("", expanded(""));
    EXPECT_EQ("$", expanded("$$"));
    EXPECT_EQ("a$$b", expanded("a$$$$b"));
    // $$ is taken first, so what follows is never a name.
    EXPECT_EQ("${config.dir}", expanded("$${config.dir}"));
    EXPECT_EQ("$/conf", expanded("$$${config.dir}"));
}

TEST(Expansion, NamesExpandWhereverTheyStandAndAsOftenAsWritten) {
    EXPECT_EQ("/conf", expanded("${config.dir}"));
    EXPECT_EQ("-Dh=/conf/..:/conf/lib}", expanded("-Dh=${config.dir}/..:${config.dir}/lib}"));
}

TEST(Expansion, ValuesAreInsertedAsTheyAreAndNotExpandedAgain) {
    environmentVariable value("LARKWIN_TEST_VALUE", "${config.dir} $$ $");
    EXPECT_EQ("<${config.dir} $$ $>", expanded("<${env:LARKWIN_TEST_VALUE}>"));
}

TEST(Expansion, EnvironmentVariables) {
    environmentVariable set("LARKWIN_TEST_SET", "v");
    environmentVariable empty("LARKWIN_TEST_EMPTY", "");
    environmentVariable unset("LARKWIN_TEST_UNSET", nullptr);
    EXPECT_EQ("v", expanded("${env:LARKWIN_TEST_SET}"));
    EXPECT_EQ("[]", expanded("[${env:LARKWIN_TEST_EMPTY}]"));
    EXPECT_EQ("Unable to expand '${env:LARKWIN_TEST_UNSET}': the variable is not set",
              expansionFailure("a ${env:LARKWIN_TEST_UNSET} b"));
}

TEST(Expansion, UnknownNamesAreRefusedNamingThePiece) {
    for (const char* text : {"${foo}", "x${EXE.DIR}", "${ exe.dir}", "${}", "${env:}", "${env:A-B}",
                             "${env}", "${env:A B}"}) {
        std::string message = expansionFailure(text);
        std::string piece = strstr(text, "${");
        EXPECT_EQ(0u, message.find("Unknown expansion '" + piece + "' (known: ${exe.dir}, "))
            << message;
        EXPECT_NE(std::string::npos, message.find("$$ for a literal $)")) << message;
    }
}

// A name ends at the first closing brace: nothing nests.
TEST(Expansion, NestedNamesAreUnknown) {
    environmentVariable x("X", "HOME");
    EXPECT_EQ(0u, expansionFailure("${env:${X}}").find("Unknown expansion '${env:${X}' "));
}

TEST(Expansion, UnterminatedNamesAndLoneDollarsAreRefused) {
    EXPECT_EQ("Unterminated expansion '${'", expansionFailure("x${"));
    EXPECT_EQ("Unterminated expansion '${exe.dir/lib'", expansionFailure("a ${exe.dir/lib"));
    EXPECT_EQ("Unable to expand 'x$': write $$ for a literal $", expansionFailure("x$"));
    EXPECT_EQ("Unable to expand '$HOME/x': write $$ for a literal $", expansionFailure("$HOME/x"));
    EXPECT_EQ("Unable to expand '$$$': write $$ for a literal $", expansionFailure("$$$"));
}

// The text is measured before it is copied: long values and many names must
// land exactly, well past any growth step of a buffer.
TEST(Expansion, LongValuesRepeatedManyTimesFitExactly) {
    std::string value(100000, 'v');
    value[0] = 'A';
    value[value.size() - 1] = 'Z';
    environmentVariable big("LARKWIN_TEST_BIG", value.c_str());
    std::string text, expected;
    for (int i = 0; i < 30; i++) {
        text += "${env:LARKWIN_TEST_BIG}$$:";
        expected += value + "$:";
    }
    EXPECT_EQ(expected, expanded(text));
}

TEST(Expansion, AResultOver64MiBIsRefused) {
    std::string value(1024 * 1024, 'v');
    environmentVariable big("LARKWIN_TEST_BIG", value.c_str());
    std::string text;
    for (int i = 0; i < 64; i++) {
        text += "${env:LARKWIN_TEST_BIG}";
    }
    EXPECT_EQ(64u * 1024 * 1024, expanded(text).size());
    EXPECT_EQ("Refusing an expanded argument of more than 64 MiB", expansionFailure(text + "x"));
}

TEST(Expansion, ExeDirIsTheDirectoryOfTheCanonicalExecutable) {
    scratchDir dir;
    dir.mkdir("real");
    dir.mkdir("bin");
    dir.write("real/app", "");
    ASSERT_EQ(0, symlink("../real/app", dir.path("bin/app").c_str()));
    exePathFor exe(dir.path("bin/app"));
    EXPECT_EQ(dir.path("real") + "/..", expanded("${exe.dir}/.."));
}

TEST(Expansion, ExeDirWithoutAKnownExecutableIsRefused) {
    exePathFor exe("");
    EXPECT_EQ("Unable to expand '${exe.dir}': the launcher's own path is unknown",
              expansionFailure("${exe.dir}"));
}

TEST(Expansion, UserHomeIsAnAbsoluteHomeElseThePasswdEntry) {
    environmentVariable xdg("XDG_CONFIG_HOME", nullptr);
    {
        environmentVariable home("HOME", "/home/u");
        EXPECT_EQ("/home/u/.config", expanded("${user.home}/.config"));
    }
    ownedString fromPasswd(createPasswdHome("/etc/passwd", getuid()));
    for (const char* value : {"", "relative/home", (const char*)nullptr}) {
        environmentVariable home("HOME", value);
        if (fromPasswd != nullptr) {
            EXPECT_EQ(std::string(fromPasswd.get()), expanded("${user.home}"));
            EXPECT_EQ(std::string(fromPasswd.get()) + "/.config", expanded("${xdg.config.home}"));
        } else {
            EXPECT_EQ("Unable to expand '${user.home}': HOME is not an absolute path and "
                      "/etc/passwd names no home for the user",
                      expansionFailure("${user.home}"));
        }
    }
}

TEST(Expansion, XdgDirectoriesTakeAbsoluteValuesAndOtherwiseTheirDefaults) {
    environmentVariable home("HOME", "/h");
    environmentVariable config("XDG_CONFIG_HOME", "/etc/xdg-user");
    environmentVariable data("XDG_DATA_HOME", "relative/data");
    environmentVariable cache("XDG_CACHE_HOME", "");
    environmentVariable state("XDG_STATE_HOME", nullptr);
    EXPECT_EQ("/etc/xdg-user /h/.local/share /h/.cache /h/.local/state",
              expanded("${xdg.config.home} ${xdg.data.home} ${xdg.cache.home} "
                       "${xdg.state.home}"));
}

// The folder above the launcher's canonical bin/, wherever a link to it lies;
// a launcher elsewhere has none.
TEST(Expansion, AppDirIsTheFolderAboveTheCanonicalBin) {
    scratchDir dir;
    dir.mkdir("image");
    dir.mkdir("image/bin");
    dir.mkdir("usr");
    dir.mkdir("usr/bin");
    dir.mkdir("loose");
    dir.write("image/bin/app", "");
    dir.write("loose/app", "");
    ASSERT_EQ(0, symlink("../../image/bin/app", dir.path("usr/bin/app").c_str()));
    ASSERT_EQ(0, symlink("../loose/app", dir.path("usr/app").c_str()));
    struct {
        const char* launcher;
        std::string expected;
    } cases[] = {
        {"image/bin/app", dir.path("image") + "/share/app"},
        {"usr/bin/app", dir.path("image") + "/share/app"},
        {"loose/app", "Unable to expand '${app.dir}': the launcher's folder '" + dir.path("loose") +
                          "' is not named bin, so no application folder "
                          "lies above it (${exe.dir} names that folder)"},
        {"usr/app", "Unable to expand '${app.dir}': the launcher's folder '" + dir.path("loose") +
                        "' is not named bin, so no application folder "
                        "lies above it (${exe.dir} names that folder)"},
    };
    for (const auto& c : cases) {
        exePathFor exe(dir.path(c.launcher));
        std::string got;
        std::string message = thrownMessage([&] { got = expanded("${app.dir}/share/app"); });
        EXPECT_EQ(c.expected, message.empty() ? got : message) << c.launcher;
    }
    exePathFor none("");
    EXPECT_EQ("Unable to expand '${app.dir}': the launcher's own path is unknown",
              expansionFailure("${app.dir}"));
}
