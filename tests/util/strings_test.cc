#include "testSupport.h"
#include "util/strings.h"

#include <gtest/gtest.h>
#include <string>

TEST(Strings, CopiesAndJoinsIntoExactSizedArrays) {
    ownedString empty(createStringCopy(""));
    EXPECT_STREQ("", empty.get());
    ownedString joined(createString("abc", ""));
    EXPECT_STREQ("abc", joined.get());
    ownedString both(createString("ab", "cd"));
    EXPECT_STREQ("abcd", both.get());
}

TEST(Strings, MessageHoldsAnArgumentOfAnyLength) {
    std::string longPath(10000, 'p');
    ownedString message(createMessage("Unable to open '%s'", longPath.c_str()));
    EXPECT_EQ("Unable to open '" + longPath + "'", message.get());
}

TEST(Strings, StartsWithComparesThePrefixWhole) {
    EXPECT_TRUE(startsWith("-Xlog:cds", "-Xlog"));
    EXPECT_TRUE(startsWith("-Xlog", "-Xlog"));
    EXPECT_TRUE(startsWith("anything", ""));
    EXPECT_FALSE(startsWith("-Xlo", "-Xlog"));
    EXPECT_FALSE(startsWith("-xlog", "-Xlog"));
}
