#include "runtime/versionRequirement.h"
#include "testSupport.h"

#include <gtest/gtest.h>
#include <string>

// "min-max" as read, or "malformed".
static std::string parsed(const char* text) {
    versionRequirement requirement;
    if (!parseVersionRequirement(text, &requirement)) {
        return "malformed";
    }
    return std::to_string(requirement.minimum) + "-" + std::to_string(requirement.maximum);
}

TEST(VersionRequirement, ReadsAMinimumOrARangeOldNumberingIncluded) {
    EXPECT_EQ("17-0", parsed("17"));
    EXPECT_EQ("11-17", parsed("11-17"));
    EXPECT_EQ("8-0", parsed("1.8"));
    EXPECT_EQ("8-0", parsed("8"));
    EXPECT_EQ("8-11", parsed("1.8-11"));
    EXPECT_EQ("17-17", parsed("17-17"));
    EXPECT_EQ("25-9999", parsed("25-9999"));
}

TEST(VersionRequirement, AnythingElseIsMalformed) {
    for (const char* text : {"",         "seventeen", "17-", "-17",   "17-11", "17.0.2", "17+",
                             "0",        "0-17",      "1.0", "1.",    "17 ",   " 17",    "11 - 17",
                             "11-17-21", "11--17",    "17x", "99999", "1.8.0", "9-ea"}) {
        EXPECT_EQ("malformed", parsed(text)) << text;
    }
}

TEST(VersionRequirement, MalformedTextLeavesTheRequirementAsItWas) {
    versionRequirement requirement;
    ASSERT_TRUE(parseVersionRequirement("11-17", &requirement));
    EXPECT_FALSE(parseVersionRequirement("21-", &requirement));
    EXPECT_EQ(11, requirement.minimum);
    EXPECT_EQ(17, requirement.maximum);
}

TEST(VersionRequirement, BoundsAreIncludedAndAnUnknownVersionNeverFits) {
    versionRequirement range;
    parseVersionRequirement("11-17", &range);
    EXPECT_FALSE(meetsRequirement(range, 10));
    EXPECT_TRUE(meetsRequirement(range, 11));
    EXPECT_TRUE(meetsRequirement(range, 17));
    EXPECT_FALSE(meetsRequirement(range, 18));
    EXPECT_FALSE(meetsRequirement(range, 0));
    versionRequirement minimum;
    parseVersionRequirement("17", &minimum);
    EXPECT_TRUE(meetsRequirement(minimum, 9999));
    EXPECT_FALSE(meetsRequirement(minimum, 0));
    versionRequirement none;
    EXPECT_FALSE(isRequired(none));
    EXPECT_TRUE(meetsRequirement(none, 0));
}

TEST(VersionRequirement, TextSaysWhatFits) {
    versionRequirement requirement;
    parseVersionRequirement("17", &requirement);
    EXPECT_EQ("17 or later", std::string(ownedString(createRequirementText(requirement)).get()));
    parseVersionRequirement("1.8-11", &requirement);
    EXPECT_EQ("8 to 11", std::string(ownedString(createRequirementText(requirement)).get()));
    parseVersionRequirement("21-21", &requirement);
    EXPECT_EQ("21", std::string(ownedString(createRequirementText(requirement)).get()));
    parseVersionRequirement("9998-9999", &requirement);
    EXPECT_EQ("9998 to 9999", std::string(ownedString(createRequirementText(requirement)).get()));
}
