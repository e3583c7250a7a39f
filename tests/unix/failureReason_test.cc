#include "processSupport.h"
#include "unix/files.h"
#include "unix/outputFile.h"
#include "unix/tempFile.h"

#include <cerrno>
#include <functional>
#include <gtest/gtest.h>

namespace {
struct failingCall {
    const char* name;
    std::function<void(const scratchDir&)> call;
    int expectedErrno;
};

// errno right after f threw, and the message.
std::pair<int, std::string> failureOf(const std::function<void()>& f) {
    errno = 0;
    std::string message = thrownMessage(f);
    return {errno, message};
}
} // namespace

// Every failure of the file layer that the packer writes through leaves
// errno at its cause, so that its message can name it.
TEST(FailureReason, ErrnoHoldsTheCauseAfterEveryFailure) {
    const failingCall calls[] = {
        {"open a missing file",
         [](const scratchDir& dir) { getFileSize(dir.path("missing").c_str()); }, ENOENT},
        {"open a directory",
         [](const scratchDir& dir) { delete[] createFileContent(dir.root.c_str(), 0, 1); }, EISDIR},
        {"make a directory below a file",
         [](const scratchDir& dir) { makeDirectories((dir.write("f", "") + "/sub").c_str()); },
         ENOTDIR},
        {"create an output file below a file",
         [](const scratchDir& dir) { outputFile out((dir.write("g", "") + "/out").c_str()); },
         ENOTDIR},
        {"commit over a directory",
         [](const scratchDir& dir) {
             outputFile out(dir.mkdir("d").c_str());
             out.commit(0644);
         },
         EISDIR},
        {"append a missing range",
         [](const scratchDir& dir) {
             outputFile out(dir.path("o").c_str());
             out.appendFileRange(dir.path("missing").c_str(), 0, 1);
         },
         ENOENT},
        {"append beyond a file's end",
         [](const scratchDir& dir) {
             outputFile out(dir.path("p").c_str());
             out.appendFileRange(dir.write("short", "ab").c_str(), 1, 4);
         },
         ENODATA},
        {"make a temporary file in a missing folder",
         [](const scratchDir& dir) {
             delete[] writeTempFileFrom(dir.path("missing/t-XXXXXX").c_str(), "x");
         },
         ENOENT},
    };
    for (const failingCall& row : calls) {
        scratchDir dir;
        auto failure = failureOf([&] { row.call(dir); });
        EXPECT_NE("", failure.second) << row.name;
        EXPECT_EQ(row.expectedErrno, failure.first) << row.name << ": " << strerror(failure.first);
    }
}

// The message keeps its words; +DEBUG adds the reason on a line of its own.
TEST(FailureReason, DebugNamesTheReasonOnItsOwnLine) {
    scratchDir dir;
    std::string missing = dir.path("missing");
    std::string pattern = dir.path("none/t-XXXXXX");
    for (int on = 0; on <= 1; on++) {
        debugFlag flag(on);
        processResult result = outputOf([&] {
            EXPECT_EQ("Unable to open '" + missing + "'",
                      thrownMessage([&] { getFileSize(missing.c_str()); }));
            EXPECT_EQ("Unable to create temporary file.",
                      thrownMessage([&] { delete[] writeTempFileFrom(pattern.c_str(), "x"); }));
        });
        EXPECT_EQ(on ? "reason: cannot open '" + missing + "': No such file or directory\n" +
                           "reason: cannot create '" + pattern + "': No such file or directory\n"
                     : "",
                  result.out);
    }
}
