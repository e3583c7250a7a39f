#include "processSupport.h"
#include "testSupport.h"
#include "unix/outputFile.h"
#include "unix/removalOnSignal.h"

#include <csignal>
#include <dirent.h>
#include <gtest/gtest.h>
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
