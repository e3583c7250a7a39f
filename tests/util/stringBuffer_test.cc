#include "testSupport.h"
#include "util/stringBuffer.h"

#include <gtest/gtest.h>
#include <string>

TEST(StringBuffer, NewBufferGivesEmptyStringAndEmptyAppendAllocatesNothing) {
    stringBuffer buffer;
    buffer.append("");
    EXPECT_EQ(0, buffer.getCapacity());
    EXPECT_EQ(nullptr, buffer.getData());
    ownedString text(buffer.createString());
    EXPECT_STREQ("", text.get());
}

TEST(StringBuffer, GrowsLinearlyByShortfallOrBy256) {
    stringBuffer one;
    one.append('x');
    EXPECT_EQ(256, one.getCapacity());
    EXPECT_EQ(1, one.getLength());

    stringBuffer big;
    std::string bytes300(300, 'b');
    big.append(bytes300.c_str());
    EXPECT_EQ(300, big.getCapacity());

    stringBuffer steps;
    steps.append(std::string(100, 'a').c_str());
    EXPECT_EQ(256, steps.getCapacity());
    steps.append(std::string(200, 'a').c_str());
    EXPECT_EQ(512, steps.getCapacity());
    ownedString text(steps.createString());
    EXPECT_EQ(300u, strlen(text.get()));
}

TEST(StringBuffer, ClearKeepsMemoryForLaterAppends) {
    stringBuffer buffer;
    buffer.append(std::string(256, 'a').c_str());
    const char* before = buffer.getData();
    buffer.clear();
    buffer.append(std::string(256, 'b').c_str());
    EXPECT_EQ(before, buffer.getData());
    EXPECT_EQ(256, buffer.getCapacity());
}

TEST(StringBuffer, CountedAppendKeepsNulBytes) {
    stringBuffer buffer;
    buffer.append("a\0b", 3);
    EXPECT_EQ(3, buffer.getLength());
    EXPECT_EQ(0, memcmp("a\0b", buffer.getData(), 3));
}

static std::string escaped(const char* s) {
    stringBuffer buffer;
    buffer.appendUnicode(s);
    ownedString text(buffer.createString());
    return text.get();
}

TEST(StringBuffer, AppendUnicodeEscapesControlHighBytesAndBackslash) {
    EXPECT_EQ("a\\u0009b", escaped("a\tb"));
    EXPECT_EQ("\\u000a", escaped("\n"));
    EXPECT_EQ("\\\\", escaped("\\"));
    EXPECT_EQ("\\u00e9", escaped("\xe9"));
    EXPECT_EQ("\x7f", escaped("\x7f"));
    EXPECT_EQ("", escaped(""));
    EXPECT_EQ("k= :#!v\\u0001\\u00ff", escaped("k= :#!v\x01\xff"));
}
