#include "process/brokenPipe.h"
#include "processSupport.h"

#include <gtest/gtest.h>

namespace {
// Writes to a pipe whose reader is gone; 0 when the write failed with EPIPE
// and the process lived on.
int writeToClosedPipe() {
    int ends[2];
    if (pipe(ends) != 0) {
        return 2;
    }
    close(ends[0]);
    ssize_t written = write(ends[1], "x", 1);
    return written < 0 && errno == EPIPE ? 0 : 3;
}

// What a program started by exec gets: it ends by SIGPIPE when the default
// action is in place, and lives on when the signal is ignored.
int execProbe() {
    execl("/bin/sh", "sh", "-c", "kill -PIPE $$; exit 7", (char*)nullptr);
    return 4;
}
} // namespace

TEST(BrokenPipe, WritesFailInsteadOfEndingTheProcess) {
    scratchDir dir;
    EXPECT_EQ(128 + SIGPIPE, runForked(dir, writeToClosedPipe).status);
    EXPECT_EQ(0, runForked(dir, [] {
                     surviveBrokenPipe();
                     return writeToClosedPipe();
                 }).status);
}

TEST(BrokenPipe, ExecGetsTheDispositionTheLauncherStartedWith) {
    scratchDir dir;
    EXPECT_EQ(128 + SIGPIPE, runForked(dir, [] {
                                 surviveBrokenPipe();
                                 return execProbe();
                             }).status);
    EXPECT_EQ(7, runForked(dir, [] {
                     signal(SIGPIPE, SIG_IGN);
                     surviveBrokenPipe();
                     return execProbe();
                 }).status);
}
