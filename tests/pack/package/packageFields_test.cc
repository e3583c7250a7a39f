#include "pack/package/packageFields.h"
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
