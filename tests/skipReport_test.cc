#include "processSupport.h"
#include "skipReport.h"

#include <gtest/gtest.h>
#include <string>

// Run with LARKWIN_SKIP_PROBE set by the next case, in a process of its
// own, it skips; otherwise it checks the line's form.
TEST(SkipReport, Probe) {
    if (getenv("LARKWIN_SKIP_PROBE") != nullptr) {
        GTEST_SKIP() << "asked to skip,\nwith a second line";
    }
    EXPECT_EQ("SKIPPED: A.b: needs root\n", createSkipLine("A.b", "needs root"));
    EXPECT_EQ("SKIPPED: A.b: no reason given\n", createSkipLine("A.b", ""));
}

// The unit tests' main says each GoogleTest skip on a line of its own, as the
// README's grep of CTest's log expects.
TEST(SkipReport, EverySkipIsSaidOnALineOfItsOwn) {
    scratchDir dir;
    processResult result = runForked(
        dir,
        [] {
            setenv("LARKWIN_SKIP_PROBE", "1", 1);
            execl("/proc/self/exe", "larkwin_tests", "--gtest_filter=SkipReport.Probe",
                  (char*)nullptr);
            return 99;
        },
        60);
    EXPECT_EQ(0, result.status) << result.out << result.err;
    EXPECT_NE(std::string::npos,
              result.out.find("\nSKIPPED: SkipReport.Probe: asked to skip, with a second line\n"))
        << result.out;
}
