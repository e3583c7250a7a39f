#include "configTestSupport.h"
#include "unix/files.h"
#include "unix/replacedEnvironment.h"

#include <gtest/gtest.h>

namespace {
const char* const copyPrefix = "-Dlarkwin.copyenv.";
const std::string exportPrefix = "-Dlarkwin.exportenv=";

// The dump files are registered process-wide as well; this removes them and
// empties the list when a test ends, however it ends.
struct forgetTempFiles {
    ~forgetTempFiles() {
        while (HACKtempFileArray.size() > 0) {
            deleteTempFile(HACKtempFileArray[0]);
            HACKtempFileArray.remove(0);
        }
    }
};

// The paths that the "exportenv" options of vm name.
std::vector<std::string> dumpPaths(const testVm& vm) {
    std::vector<std::string> paths;
    for (int i = 0; i < vm.vmOptions.size(); i++) {
        std::string option = vm.vmOptions[i];
        if (option.compare(0, exportPrefix.size(), exportPrefix) == 0) {
            paths.push_back(option.substr(exportPrefix.size()));
        }
    }
    return paths;
}

// Parses "exportenv" in the given environment and returns the dump's bytes.
std::string dumpOf(std::vector<std::string> entries) {
    forgetTempFiles cleanup;
    testVm vm;
    {
        replacedEnvironment env(std::move(entries));
        parseText(&vm, "/app.config", "exportenv");
    }
    std::vector<std::string> paths = dumpPaths(vm);
    return paths.size() == 1 ? readFile(paths[0]) : "no single dump";
}
} // namespace

TEST(CopyEnv, AddsTheValueAsItIs) {
    environmentVariable set("LARKWIN_COPY", "/home/u x=y\\z");
    environmentVariable empty("LARKWIN_EMPTY", "");
    environmentVariable unset("LARKWIN_UNSET", nullptr);
    testVm vm;
    parseText(&vm, "/app.config",
              "copyenv LARKWIN_COPY\ncopyenv LARKWIN_UNSET\ncopyenv\n"
              "copyenv LARKWIN_EMPTY");
    EXPECT_EQ(std::string(copyPrefix) + "LARKWIN_COPY=/home/u x=y\\z|" + copyPrefix +
                  "LARKWIN_EMPTY=",
              joined(vm.vmOptions));
}

// +DEBUG says why an unset variable gives no property.
TEST(CopyEnv, AnUnsetVariableIsNotedUnderDebug) {
    environmentVariable unset("LARKWIN_UNSET", nullptr);
    debugFlag on(1);
    testVm vm;
    testing::internal::CaptureStdout();
    parseText(&vm, "/app.config", "copyenv LARKWIN_UNSET");
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, printed.find("copyenv: LARKWIN_UNSET is not set; no property\n"))
        << printed;
    EXPECT_EQ(0, vm.vmOptions.size());
}

TEST(ExportEnv, WritesEveryEntryEscapedInEnvironmentOrder) {
    EXPECT_EQ("A=x\\\\y\n"
              "B=line\\u000abreak\n"
              "C=\\u00c3\\u00a9\n"
              "N\\u0001\\u00ff=v\n"
              "EMPTY=\n"
              "D=1=2:#! \n"
              "A=x\\\\y\n",
              dumpOf({"A=x\\y", "B=line\nbreak", "C=\xc3\xa9", "N\x01\xff=v", "EMPTY=", "NOEQUALS",
                      "D=1=2:#! ", "A=second"}));
}

// Many variables, every byte from 1 to 255 among their values: each line is
// joined in order, whole, and nothing follows the last one.
TEST(ExportEnv, LargeEnvironmentGivesEveryLineInOrder) {
    std::vector<std::string> entries;
    std::string expected;
    for (int i = 0; i < 3000; i++) {
        std::string value(1, (char)(i % 255 + 1));
        value += "\\tail";
        entries.push_back("V" + std::to_string(i) + "=" + value);
        char escaped[8];
        unsigned char byte = (unsigned char)value[0];
        if (byte < 0x20 || byte > 0x7F) {
            snprintf(escaped, sizeof escaped, "\\u00%02x", byte);
        } else if (byte == '\\') {
            snprintf(escaped, sizeof escaped, "\\\\");
        } else {
            snprintf(escaped, sizeof escaped, "%c", byte);
        }
        expected += "V" + std::to_string(i) + "=" + escaped + "\\\\tail\n";
    }
    EXPECT_EQ(expected, dumpOf(entries));
}

TEST(ExportEnv, AnEmptyEnvironmentGivesAnEmptyDump) {
    EXPECT_EQ("", dumpOf({}));
}

TEST(ExportEnv, RegistersEachDumpTwiceAndTheDescriptionDeletesIt) {
    forgetTempFiles cleanup;
    std::vector<std::string> paths;
    {
        testVm vm;
        {
            replacedEnvironment env({"K=v"});
            parseText(&vm, "/app.config", "exportenv ignored words\nexportenv");
        }
        paths = dumpPaths(vm);
        ASSERT_EQ(2u, paths.size());
        EXPECT_NE(paths[0], paths[1]);
        EXPECT_EQ(paths[0] + "|" + paths[1], joined(vm.tempFiles));
        EXPECT_EQ(paths[0] + "|" + paths[1], joined(HACKtempFileArray));
        for (const std::string& path : paths) {
            EXPECT_EQ(0u, path.find("/tmp/larkwin-envdump-"));
            EXPECT_EQ("K=v\n", readFile(path));
            struct stat status;
            ASSERT_EQ(0, stat(path.c_str(), &status));
            EXPECT_EQ(0600u, status.st_mode & 0777);
        }
    }
    for (const std::string& path : paths) {
        EXPECT_NE(0, access(path.c_str(), F_OK));
    }
}
