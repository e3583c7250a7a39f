#include "pack/tools/toolProcess.h"

#include "testSupport.h"
#include "util/stringBuffer.h"

#include <gtest/gtest.h>
#include <string>

static int runShell(const char* script, std::string* printed = nullptr) {
    const char* arguments[] = {"/bin/sh", "-c", script, nullptr};
    stringBuffer output;
    int status = runTool(const_cast<char**>(arguments), &output);
    if (printed != nullptr) {
        printed->assign(output.getData() != nullptr ? output.getData() : "", output.getLength());
    }
    return status;
}

TEST(ToolProcess, StandardOutputIsCollectedWhole) {
    std::string printed;
    // More than a pipe holds, so that reading and waiting must interleave.
    EXPECT_EQ(0, runShell("i=0; while [ $i -lt 20000 ]; do echo java.base,java.logging; "
                          "i=$((i+1)); done",
                          &printed));
    EXPECT_EQ(20000u * 23, printed.size());
    EXPECT_EQ(0, runShell("printf 'a\\0b'", &printed));
    EXPECT_EQ(std::string("a\0b", 3), printed);
}

TEST(ToolProcess, StatusSignalAndMissingProgram) {
    EXPECT_EQ(3, runShell("exit 3"));
    // The tool gets the interrupt signal's usual meaning back.
    EXPECT_EQ(128 + SIGINT, runShell("kill -INT $$"));
    const char* missing[] = {"/nonexistent/jlink", nullptr};
    stringBuffer output;
    EXPECT_EQ(127, runTool(const_cast<char**>(missing), &output));
}

// The tool leads a process group of its own (field 5 of /proc/PID/stat),
// which larkwin-pack's termination handler ends with all the tool started;
// an interrupt from the terminal reaches larkwin-pack alone, whose signal
// handling is left as it was.
TEST(ToolProcess, AToolLeadsAProcessGroupOfItsOwn) {
    EXPECT_EQ(5, runShell("set -- $(cat /proc/$$/stat); [ \"$5\" = $$ ] && exit 5; exit 1"));
    struct sigaction now;
    sigaction(SIGINT, nullptr, &now);
    EXPECT_EQ(SIG_DFL, now.sa_handler);
}

TEST(ToolProcess, FailedToolShowsItsOutputAndNamesItsStatus) {
    const char* arguments[] = {"/bin/sh", "-c", "echo Error: no module; exit 2", nullptr};
    stringBuffer output;
    testing::internal::CaptureStderr();
    std::string message =
        thrownMessage([&] { runToolOrFail(const_cast<char**>(arguments), &output); });
    std::string shown = testing::internal::GetCapturedStderr();
    EXPECT_EQ("'/bin/sh' failed with exit status 2", message);
    EXPECT_EQ("Error: no module\n", shown);
}
