#include "config/decimal.h"

#include <climits>
#include <gtest/gtest.h>

TEST(Decimal, ReadsASignAndTheDigitsUpToTheFirstOtherByte) {
    EXPECT_EQ(0, readDecimal(""));
    EXPECT_EQ(0, readDecimal("-"));
    EXPECT_EQ(0, readDecimal("+x"));
    EXPECT_EQ(0, readDecimal("--5"));
    EXPECT_EQ(0, readDecimal("x12"));
    EXPECT_EQ(12, readDecimal("12"));
    EXPECT_EQ(12, readDecimal("+12"));
    EXPECT_EQ(-12, readDecimal("-12"));
    EXPECT_EQ(8080, readDecimal("8080x"));
    EXPECT_EQ(7, readDecimal("007"));
    EXPECT_EQ(1, readDecimal("1 2"));
}

TEST(Decimal, SaturatesAtTheLimitsOfInt) {
    EXPECT_EQ(INT_MAX, readDecimal("2147483647"));
    EXPECT_EQ(INT_MAX, readDecimal("2147483648"));
    EXPECT_EQ(INT_MIN, readDecimal("-2147483648"));
    EXPECT_EQ(INT_MIN, readDecimal("-2147483649"));
    EXPECT_EQ(INT_MAX, readDecimal("99999999999999999999999999999999x"));
    EXPECT_EQ(INT_MIN, readDecimal("-99999999999999999999999999999999"));
    EXPECT_EQ(-2147483647, readDecimal("-2147483647"));
}
