#include "pack/options/packOptions.h"
#include "pack/options/packageFields.h"
#include "testSupport.h"

#include <gtest/gtest.h>
#include <vector>

TEST(packageFieldsTest, packageNamesAreDebians) {
    EXPECT_TRUE(isPackageName("myapp"));
    EXPECT_TRUE(isPackageName("my-app2.0+x"));
    EXPECT_TRUE(isPackageName("0ad"));
    EXPECT_FALSE(isPackageName("a"));
    EXPECT_FALSE(isPackageName("MyApp"));
    EXPECT_FALSE(isPackageName("-app"));
    EXPECT_FALSE(isPackageName("my_app"));
    EXPECT_FALSE(isPackageName("my/app"));
    EXPECT_FALSE(isPackageName(""));
}

TEST(packageFieldsTest, versionsReadAlikeByDpkgAndRpm) {
    EXPECT_TRUE(isPackageVersion("1"));
    EXPECT_TRUE(isPackageVersion("2.0.1~rc1+git5"));
    EXPECT_FALSE(isPackageVersion("v1.0"));
    EXPECT_FALSE(isPackageVersion("1.0-1"));
    EXPECT_FALSE(isPackageVersion("1.0 beta"));
    EXPECT_FALSE(isPackageVersion("1:2.0"));
    EXPECT_FALSE(isPackageVersion(""));
}

TEST(packageFieldsTest, oneLineAndSchemes) {
    EXPECT_TRUE(isOneLine("Zeigt Bilder an — schnell"));
    EXPECT_FALSE(isOneLine("two\nlines"));
    EXPECT_FALSE(isOneLine("tab\there"));
    EXPECT_FALSE(isOneLine(""));
    EXPECT_TRUE(isUrlScheme("myapp"));
    EXPECT_TRUE(isUrlScheme("web+my-app.v2"));
    EXPECT_FALSE(isUrlScheme("2app"));
    EXPECT_FALSE(isUrlScheme("my_app"));
    EXPECT_FALSE(isUrlScheme("myapp:"));
}

TEST(packageFieldsTest, fileTypesAreCutIntoTheirParts) {
    fileType type;
    EXPECT_EQ(nullptr, parseFileType(".mydoc,application/x-my+doc,My, very own document", &type));
    EXPECT_STREQ("mydoc", type.extension);
    EXPECT_STREQ("application/x-my+doc", type.mimeType);
    EXPECT_STREQ("My, very own document", type.description);
}

TEST(packageFieldsTest, malformedFileTypesAreNamed) {
    const char* malformed[] = {"mydoc",
                               "mydoc,text/plain",
                               ",text/plain,Doc",
                               "my doc,text/plain,Doc",
                               "mydoc,textplain,Doc",
                               "mydoc,/plain,Doc",
                               "mydoc,text/,Doc",
                               "mydoc,a/b/c,Doc",
                               "mydoc,text/plain,"};
    for (const char* text : malformed) {
        fileType type;
        ownedString error(parseFileType(text, &type));
        ASSERT_NE(nullptr, error.get()) << text;
        EXPECT_NE(nullptr, strstr(error.get(), text)) << error.get();
    }
}

static std::string usageError(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "larkwin-pack");
    packOptions options;
    ownedString error(
        options.createUsageError((int)arguments.size(), const_cast<char**>(arguments.data())));
    return error ? error.get() : "";
}

TEST(packageFieldsTest, packagesNeedWhatTheirFormatsRequire) {
    std::vector<const char*> deb = {"--deb",         "dist",     "--name",         "myapp",
                                    "--app-version", "1.0",      "--description",  "My app",
                                    "--maintainer",  "Me <m@e>", "--license-file", "COPYING",
                                    "--main-class",  "a.B",      "app.jar"};
    EXPECT_EQ("", usageError(deb));
    std::vector<const char*> both = deb;
    both.insert(both.begin(), {"--rpm", "dist"});
    EXPECT_EQ("--rpm needs --license NAME, such as MIT or GPL-2.0-or-later", usageError(both));
    both.insert(both.begin(), {"--license", "MIT", "--file-type", "x,text/x-x,X", "--file-type",
                               "y,text/x-y,Y", "--url-scheme", "myapp"});
    EXPECT_EQ("", usageError(both));
    std::vector<const char*> noMaintainer = {"--deb",         "dist", "--name",        "myapp",
                                             "--app-version", "1.0",  "--description", "x",
                                             "--main-class",  "a.B",  "app.jar"};
    EXPECT_EQ("--deb needs --maintainer 'NAME <EMAIL>' and --license-file FILE",
              usageError(noMaintainer));
}

TEST(packageFieldsTest, packageOptionsAreRefusedAlone) {
    EXPECT_EQ("--icon needs --deb or --rpm",
              usageError({"-o", "x", "--icon", "a.png", "--main-class", "a.B", "app.jar"}));
    EXPECT_EQ("--url-scheme needs --deb or --rpm",
              usageError({"-o", "x", "--url-scheme", "a", "--main-class", "a.B", "app.jar"}));
    EXPECT_EQ("give --deb and --rpm without -o and --app-image",
              usageError({"-o", "x", "--deb", "d", "--main-class", "a.B", "app.jar"}));
    EXPECT_EQ("--show takes no other options", usageError({"--show", "x", "--rpm", "d"}));
    EXPECT_NE(std::string::npos,
              usageError({"--deb", "d", "--name", "My App", "--main-class", "a.B", "app.jar"})
                  .find("--name NAME"));
}
