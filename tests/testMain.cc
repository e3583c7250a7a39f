// The unit tests' entry: GoogleTest's own, with every skip also said on a
// "SKIPPED:" line (skipReport.h).

#include "skipReport.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new skipReport);
    return RUN_ALL_TESTS();
}
