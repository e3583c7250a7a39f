#include "pack/zip/buildTime.h"
#include "testSupport.h"

#include <gtest/gtest.h>

// SOURCE_DATE_EPOCH is read only as plain seconds: anything else would date
// every output by a number nobody asked for.
TEST(BuildTimeTest, ReadsPlainSecondsAndRefusesTheRest) {
    struct {
        const char* value;
        long expected; // -1: nothing; -2: refused
    } cases[] = {{nullptr, -1}, {"", -1},   {"0", 0},    {"1700000000", 1700000000},  {"12a", -2},
                 {"-5", -2},    {" 5", -2}, {"1.5", -2}, {"99999999999999999999", -2}};
    for (const auto& c : cases) {
        environmentVariable epoch("SOURCE_DATE_EPOCH", c.value);
        try {
            std::optional<long> read = getSourceDateEpoch();
            EXPECT_NE(-2, c.expected) << c.value;
            EXPECT_EQ(c.expected, read ? *read : -1) << (c.value ? c.value : "(unset)");
        } catch (char* message) {
            EXPECT_EQ(-2, c.expected) << c.value << ": " << message;
            EXPECT_NE(nullptr, strstr(message, "SOURCE_DATE_EPOCH")) << message;
            delete[] message;
        }
    }
    environmentVariable epoch("SOURCE_DATE_EPOCH", "86400");
    EXPECT_EQ(86400, getBuildTime());
}
