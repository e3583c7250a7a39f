#include "pack/package/packageIcons.h"
#include "pack/package/packageTexts.h"
#include "pack/package/packages.h"
#include "testSupport.h"
#include "util/stringBuffer.h"

#include <gtest/gtest.h>

static std::string argumentOf(const char* configuration, const char* word) {
    ownedString argument(createDirectiveArgument(configuration, word));
    return argument ? argument.get() : "(none)";
}

// The lines are cut as the launcher cuts them.
TEST(packageTextsTest, directiveArgumentOfTheLastLine) {
    EXPECT_EQ("b.Main", argumentOf("mainclass a.Main\r\n  mainclass   b.Main  \n", "mainclass"));
    EXPECT_EQ("47811", argumentOf("# socket 1\nsocket 47811", "socket"));
    EXPECT_EQ("", argumentOf("socket", "socket"));
    EXPECT_EQ("(none)", argumentOf("sockets 1\nsocket\t2\nSocket 3\n", "socket"));
    EXPECT_EQ("(none)", argumentOf("", "mainclass"));
}

TEST(packageTextsTest, settingsLinesReadTheSiteThenTheUser) {
    ownedString lines(createSettingsLines("myapp"));
    EXPECT_STREQ("tryinclude /etc/myapp/myapp.config\nexpand\n"
                 "tryinclude ${xdg.config.home}/myapp/myapp.config\n",
                 lines.get());
    ownedString joined(createInstalledConfiguration("mainclass a.B", "myapp"));
    EXPECT_EQ("mainclass a.B\n" + std::string(lines.get()), joined.get());
    std::string longest(65535 - strlen(lines.get()), '#');
    ownedString fits(createInstalledConfiguration((longest.substr(1) + "\n").c_str(), "myapp"));
    EXPECT_EQ(65535u, strlen(fits.get()));
    EXPECT_NE("", thrownMessage([&] {
                  delete[] createInstalledConfiguration((longest + "\n").c_str(), "myapp");
              }));
}

TEST(packageTextsTest, wrappedLinesKeepTheirWidth) {
    stringBuffer text;
    appendWrapped(text, "aaa bbb  ccc dddddddddd e", 8, " ");
    text.append('\0');
    EXPECT_STREQ(" aaa bbb\n ccc\n dddddddddd\n e", text.getData());
}

TEST(packageTextsTest, changelogDatedAsDebianDates) {
    ownedString changelog(createChangelog("myapp", "1.0", "Me <m@e>", 1796774400L));
    EXPECT_STREQ("myapp (1.0) unstable; urgency=medium\n\n  * Packaged by larkwin-pack.\n\n"
                 " -- Me <m@e>  Wed, 09 Dec 2026 00:00:00 +0000\n",
                 changelog.get());
}

TEST(packageTextsTest, manualPageEscapesRoff) {
    ownedString page(createManualPage("my-app", "1.0", ".hidden \\ text"));
    EXPECT_NE(nullptr, strstr(page.get(), ".SH NAME\nmy\\-app \\- \\&.hidden \\e text\n"));
    EXPECT_NE(nullptr, strstr(page.get(), ".BI /etc/my\\-app/my\\-app.config\n"));
}

TEST(packageTextsTest, pngSizeFromItsHeader) {
    unsigned char png[24] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13,
                             'I',  'H', 'D', 'R', 0,    0,    1,    0,    0, 0, 1, 0};
    EXPECT_EQ(256, getSquarePngSize(png, sizeof png));
    png[23] = 1;
    EXPECT_EQ(0, getSquarePngSize(png, sizeof png));
    EXPECT_EQ(0, getSquarePngSize(png, 23));
    png[1] = 'p';
    png[23] = 0;
    EXPECT_EQ(0, getSquarePngSize(png, sizeof png));
}

TEST(packageTextsTest, base64OfEveryPadding) {
    const unsigned char* bytes = (const unsigned char*)"foobar";
    const char* expected[] = {"", "Zg==", "Zm8=", "Zm9v", "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy"};
    for (int length = 0; length <= 6; length++) {
        ownedString text(createBase64(bytes, length));
        EXPECT_STREQ(expected[length], text.get());
    }
    const unsigned char high[] = {0xFF, 0xFE, 0x00};
    ownedString text(createBase64(high, 3));
    EXPECT_STREQ("//4A", text.get());
}
