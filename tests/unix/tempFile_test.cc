#include "processSupport.h"
#include "unix/files.h"
#include "unix/tempFile.h"

#include <csignal>
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

TEST(TempFile, AFileThatCannotBeCreatedIsReported) {
    scratchDir dir;
    std::string pattern = dir.path("missing/dump-XXXXXX");
    EXPECT_EQ("Unable to create temporary file.",
              thrownMessage([&] { delete[] writeTempFileFrom(pattern.c_str(), "x"); }));
}

namespace {
int entriesIn(const std::string& path) {
    int count = 0;
    DIR* listing = opendir(path.c_str());
    while (struct dirent* entry = readdir(listing)) {
        count += entry->d_name[0] == '.' ? 0 : 1;
    }
    closedir(listing);
    return count;
}

// Writes textLength bytes into dumps with the file size limited to a few
// bytes, in a child process so that the limit stays there; the child's exit
// status is 0 when the failure was reported and no partial file was left
// behind. The child's own output goes beside dumps.
int writeBeyondTheSizeLimit(const scratchDir& dir, const std::string& dumps, size_t textLength) {
    return runForked(
               dir,
               [&] {
                   signal(SIGXFSZ, SIG_IGN);
                   struct rlimit limit = {8, 8};
                   setrlimit(RLIMIT_FSIZE, &limit);
                   std::string text(textLength, 'v');
                   std::string pattern = dumps + "/dump-XXXXXX";
                   std::string message = thrownMessage(
                       [&] { delete[] writeTempFileFrom(pattern.c_str(), text.c_str()); });
                   return message == "Failed to write to temporary file." && entriesIn(dumps) == 0
                              ? 0
                              : 1;
               },
               30)
        .status;
}
} // namespace

TEST(TempFile, APartlyWrittenFileIsRemovedBeforeTheFailureIsReported) {
    scratchDir dir;
    // A long text fails while it is written, a short one when it is flushed.
    std::string dumps = dir.mkdir("dumps");
    EXPECT_EQ(0, writeBeyondTheSizeLimit(dir, dumps, 100000));
    EXPECT_EQ(0, writeBeyondTheSizeLimit(dir, dumps, 20));
    EXPECT_EQ(0, entriesIn(dumps));
}
