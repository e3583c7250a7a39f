#include "processSupport.h"
#include "testSupport.h"
#include "unix/outputFile.h"
#include "unix/removalOnSignal.h"

#include <csignal>
#include <dirent.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <string>
#include <sys/stat.h>

namespace {
int entriesIn(const std::string& directory) {
    DIR* listing = opendir(directory.c_str());
    int count = 0;
    while (struct dirent* entry = readdir(listing)) {
        count += entry->d_name[0] != '.' ? 1 : 0;
    }
    closedir(listing);
    return count;
}
} // namespace

// Each signal in a child that writes an output file half-way and is then
// ended by it: the temporary file goes, and the child still ends by the
// signal, as its parent would see it without the handler.
TEST(RemovalOnSignal, ATerminationSignalRemovesAHalfWrittenOutputAndStillEndsTheProgram) {
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        scratchDir dir;
        dir.mkdir("out");
        processResult result = runForked(dir, [&] {
            removeRegisteredOnTermination();
            outputFile out(dir.path("out/bundle").c_str());
            out.write("half", 4);
            if (entriesIn(dir.path("out")) != 1) {
                return 3;
            }
            raise(signalNumber);
            return 4;
        });
        EXPECT_EQ(128 + signalNumber, result.status) << result.err;
        EXPECT_EQ(0, entriesIn(dir.path("out"))) << signalNumber;
    }
}

TEST(RemovalOnSignal, DirectoriesGoWithTheirContentAndUnregisteredNamesStay) {
    scratchDir dir;
    processResult result = runForked(dir, [&] {
        removeRegisteredOnTermination();
        std::string tree = dir.path("image.XXXXXX");
        std::string kept = dir.path("kept.XXXXXX");
        if (!makeRegisteredDirectory(&tree[0]) || openRegisteredFile(&kept[0]) < 0) {
            return 3;
        }
        unregisterRemoval(kept.c_str());
        mkdir((tree + "/bin").c_str(), 0755);
        dir.write(tree.substr(dir.root.size() + 1) + "/bin/app", "x");
        raise(SIGTERM);
        return 4;
    });
    EXPECT_EQ(128 + SIGTERM, result.status) << result.err;
    // What is left: the child's stdout and stderr, and the unregistered file.
    EXPECT_EQ(3, entriesIn(dir.root));
}

// A program started with SIGHUP ignored (nohup) keeps ignoring it.
TEST(RemovalOnSignal, AnIgnoredSignalStaysIgnored) {
    scratchDir dir;
    processResult result = runForked(dir, [&] {
        signal(SIGHUP, SIG_IGN);
        removeRegisteredOnTermination();
        std::string kept = dir.path("kept.XXXXXX");
        if (openRegisteredFile(&kept[0]) < 0) {
            return 3;
        }
        raise(SIGHUP);
        return 0;
    });
    EXPECT_EQ(0, result.status);
    EXPECT_EQ(3, entriesIn(dir.root));
}

// A tool and what it started are ended before the tree they write into is
// removed: the group's leader ignores SIGTERM and is killed, its own child
// ends by SIGTERM. Both hold a pipe's writing end, whose reader sees its end
// only when both are gone.
TEST(RemovalOnSignal, RegisteredProcessGroupsEndBeforeTheTreeIsRemoved) {
    scratchDir dir;
    int held[2];
    ASSERT_EQ(0, pipe(held));
    pid_t child = startForked(dir, [&] {
        close(held[0]);
        removeRegisteredOnTermination();
        std::string tree = dir.path("work.XXXXXX");
        int ready[2];
        if (!makeRegisteredDirectory(&tree[0]) || pipe(ready) != 0) {
            return 3;
        }
        pid_t leader = forkRegisteredGroup();
        if (leader == 0) {
            alarm(30);
            if (fork() == 0) {
                alarm(30);
                (void)!write(ready[1], "m", 1);
                pause();
                _exit(0);
            }
            signal(SIGTERM, SIG_IGN);
            (void)!write(ready[1], "l", 1);
            for (;;) {
                pause();
            }
        }
        char started[2];
        if (leader < 0 || read(ready[0], started, 1) != 1 || read(ready[0], started + 1, 1) != 1 ||
            getpgid(leader) != leader) {
            return 4;
        }
        raise(SIGTERM);
        return 5;
    });
    close(held[1]);
    processResult result = finishForked(dir, child);
    EXPECT_EQ(128 + SIGTERM, result.status) << result.err;
    EXPECT_EQ(2, entriesIn(dir.root)) << "only the child's stdout and stderr are left";
    struct pollfd ended = {held[0], POLLIN, 0};
    ASSERT_EQ(1, poll(&ended, 1, 30000)) << "the group was not ended";
    char byte;
    EXPECT_EQ(0, read(held[0], &byte, 1));
    close(held[0]);
}
