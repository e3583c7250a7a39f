#include "pack/zip/utf8Text.h"

#include <gtest/gtest.h>
#include <string>

TEST(Utf8Text, AcceptsWellFormedTextOnly) {
    struct {
        std::string text;
        int good;
    } cases[] = {
        {"", 1},
        {"plain", 1},
        {"caf\xc3\xa9", 1},
        {"\xe2\x82\xac", 1},
        {"\xf0\x9f\x98\x80", 1},
        {"\xf4\x8f\xbf\xbf", 1},
        {"caf\xe9", 0},
        {"\x80", 0},
        {"\xc3", 0},
        {"\xc0\xaf", 0},
        {"\xe0\x80\xaf", 0},
        {"\xed\xa0\x80", 0},
        {"\xf4\x90\x80\x80", 0},
        {"\xf5\x80\x80\x80", 0},
        {"\xe2\x82", 0},
        {"\xe2\x28\xa1", 0},
    };
    for (const auto& test : cases) {
        EXPECT_EQ(test.good, isUtf8(test.text.data(), test.text.size())) << test.text;
    }
}
