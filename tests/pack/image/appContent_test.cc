#include "pack/image/appContent.h"

#include "testSupport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

std::string copyFailure(const std::vector<appContent>& contents, const std::string& image) {
    return thrownMessage([&] { copyAppContents(contents, image, "myapp", false); });
}

std::string linkTarget(const std::string& path) {
    char target[4096];
    ssize_t length = readlink(path.c_str(), target, sizeof target);
    return length < 0 ? "" : std::string(target, length);
}

std::string checkFailure(const std::vector<appContent>& contents,
                         const std::vector<std::string>& places, bool package) {
    return thrownMessage([&] { checkAppContents(contents, places, package); });
}

int modeOf(const std::string& path) {
    struct stat status;
    return lstat(path.c_str(), &status) == 0 ? (int)(status.st_mode & 07777) : -1;
}

} // namespace

// A folder lands under share/NAME/ or DEST with its modes and the links that
// stay inside it; a file alone too.
TEST(AppContent, FoldersAndFilesKeepModesAndInnerLinks) {
    scratchDir dir;
    dir.mkdir("data");
    dir.mkdir("data/modes");
    dir.write("data/modes/java.xml", "<mode/>");
    dir.write("data/run.sh", "#!/bin/sh\n");
    ASSERT_EQ(0, chmod(dir.path("data/run.sh").c_str(), 0750));
    ASSERT_EQ(0, symlink("modes/java.xml", dir.path("data/java").c_str()));
    ASSERT_EQ(0, symlink("../modes/../run.sh", dir.path("data/modes/up").c_str()));
    ASSERT_EQ(0, symlink("data", dir.path("linked").c_str()));
    dir.mkdir("image");
    copyAppContents({{dir.path("linked"), std::nullopt},
                     {dir.path("data/run.sh"), std::string("share/tools/run")}},
                    dir.path("image"), "myapp", false);
    EXPECT_EQ("<mode/>", readFile(dir.path("image/share/myapp/data/java")));
    EXPECT_EQ("#!/bin/sh\n", readFile(dir.path("image/share/myapp/data/modes/up")));
    EXPECT_EQ(0750, modeOf(dir.path("image/share/myapp/data/run.sh")));
    EXPECT_EQ(0750, modeOf(dir.path("image/share/tools/run")));
    EXPECT_EQ(0777, modeOf(dir.path("image/share/myapp/data/java")));
}

// A link that climbs out, even to come back in by the folder's name, breaks
// once the folder is copied under another name.
TEST(AppContent, LinksThatLeadOutAndTakenPlacesAreRefused) {
    scratchDir dir;
    dir.mkdir("image");
    dir.mkdir("data");
    dir.write("secret", "s");
    struct {
        const char* target;
        bool refused;
    } links[] = {{"/etc/passwd", true},    {"../secret", true}, {"x/../../secret", true},
                 {"../data/secret", true}, {"nowhere", false},  {"./././x", false}};
    int n = 0;
    for (const auto& link : links) {
        unlink(dir.path("data/link").c_str());
        ASSERT_EQ(0, symlink(link.target, dir.path("data/link").c_str()));
        std::string destination = "share/d" + std::to_string(n++);
        std::string message = copyFailure({{dir.path("data"), destination}}, dir.path("image"));
        std::string expected = link.refused
                                   ? "--app-content: '" + dir.path("data/link") +
                                         "' is a link to '" + link.target + "', outside '" +
                                         dir.path("data") + "'; copy what it leads to instead"
                                   : "";
        EXPECT_EQ(expected, message) << link.target;
        if (!link.refused) {
            EXPECT_EQ(link.target, linkTarget(dir.path("image/" + destination + "/link")));
        }
    }
    unlink(dir.path("data/link").c_str());
    copyAppContents({{dir.path("data"), std::nullopt}}, dir.path("image"), "myapp", false);
    EXPECT_EQ("--app-content: 'share/myapp/data' is in the image already",
              copyFailure({{dir.path("data"), std::nullopt}}, dir.path("image")));
}

// Set-user-ID, set-group-ID and sticky bits never reach the copy; a line
// says which went.
TEST(AppContent, SpecialBitsAreDroppedWithANote) {
    scratchDir dir;
    dir.mkdir("data");
    dir.write("data/tool", "#!/bin/sh\n");
    dir.mkdir("data/spool");
    ASSERT_EQ(0, chmod(dir.path("data/tool").c_str(), 06755));
    ASSERT_EQ(0, chmod(dir.path("data/spool").c_str(), 01777));
    dir.mkdir("image");
    testing::internal::CaptureStderr();
    copyAppContents({{dir.path("data"), std::string("share/d")}}, dir.path("image"), "myapp",
                    false);
    std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(0755, modeOf(dir.path("image/share/d/tool")));
    EXPECT_EQ(0777, modeOf(dir.path("image/share/d/spool")));
    EXPECT_EQ(
        "larkwin-pack: --app-content: '" + dir.path("data/spool") +
            "' is copied without its sticky bit: the copy gives no one else's rights\n"
            "larkwin-pack: --app-content: '" +
            dir.path("data/tool") +
            "' is copied without its set-user-ID and set-group-ID bits: the copy gives no one "
            "else's rights\n",
        printed);
}

// A package is read by everyone: what only its owner may read is refused
// there, with the chmod that would ship it; an image keeps its mode.
TEST(AppContent, OwnerOnlyEntriesAreRefusedInAPackage) {
    scratchDir dir;
    dir.mkdir("data");
    dir.mkdir("data/private");
    dir.write("data/key", "k");
    ASSERT_EQ(0, chmod(dir.path("data/key").c_str(), 0600));
    ASSERT_EQ(0, chmod(dir.path("data/private").c_str(), 0700));
    dir.mkdir("image");
    EXPECT_EQ("--app-content: '" + dir.path("data/key") +
                  "' may be read by its owner only, and a package is read by everyone: make it "
                  "readable (chmod a+rX) if it may be shipped",
              checkFailure({{dir.path("data"), std::nullopt}}, {}, true));
    ASSERT_EQ(0, chmod(dir.path("data/key").c_str(), 0640));
    EXPECT_EQ("--app-content: '" + dir.path("data/private") +
                  "' may be read by its owner only, and a package is read by everyone: make it "
                  "readable (chmod a+rX) if it may be shipped",
              checkFailure({{dir.path("data"), std::nullopt}}, {}, true));
    ASSERT_EQ(0, chmod(dir.path("data/key").c_str(), 0600));
    EXPECT_EQ("", copyFailure({{dir.path("data"), std::nullopt}}, dir.path("image")));
    EXPECT_EQ(0600, modeOf(dir.path("image/share/myapp/data/key")));
}

// A link is judged by where it leads through the tree's own links: up leads
// back to the root, so up/../../.. climbs out although its text stays in.
TEST(AppContent, LinksAreJudgedByWhereTheyLead) {
    scratchDir dir;
    dir.write("secret", "s");
    dir.mkdir("data");
    dir.mkdir("data/a");
    dir.mkdir("data/a/b");
    dir.mkdir("image");
    ASSERT_EQ(0, symlink("../..", dir.path("data/a/b/up").c_str()));
    ASSERT_EQ(0, symlink("up/../../../secret", dir.path("data/a/b/esc").c_str()));
    std::string refused = "--app-content: '" + dir.path("data/a/b/esc") +
                          "' is a link to 'up/../../../secret', outside '" + dir.path("data") +
                          "'; copy what it leads to instead";
    EXPECT_EQ(refused, checkFailure({{dir.path("data"), std::nullopt}}, {}, false));
    EXPECT_EQ(refused, copyFailure({{dir.path("data"), std::nullopt}}, dir.path("image")));
    // A link through up that stays in is kept, as is one that leads nowhere.
    ASSERT_EQ(0, unlink(dir.path("data/a/b/esc").c_str()));
    ASSERT_EQ(0, symlink("up/a/b/../../nowhere", dir.path("data/a/b/in").c_str()));
    EXPECT_EQ("", copyFailure({{dir.path("data"), std::string("share/d")}}, dir.path("image")));
    EXPECT_EQ("up/a/b/../../nowhere", linkTarget(dir.path("image/share/d/a/b/in")));
}

// A copy into the tree it copies is refused before any work, and by the
// walk itself when the image is reached.
TEST(AppContent, AnImageInsideTheSourceIsRefused) {
    scratchDir dir;
    dir.mkdir("data");
    dir.mkdir("data/out");
    std::string refused = "--app-content: '" + dir.path("data") + "' holds '" +
                          dir.path("data/out/image") +
                          "', where the copy goes: name a place "
                          "outside it";
    EXPECT_EQ(refused, checkFailure({{dir.path("data"), std::nullopt}},
                                    {dir.path("x"), dir.path("data/out/image")}, false));
    EXPECT_EQ("",
              checkFailure({{dir.path("data"), std::nullopt}}, {dir.path("data2/image")}, false));
    EXPECT_EQ("--app-content: '" + dir.path("data/out") + "' is the folder that receives the copy",
              copyFailure({{dir.path("data"), std::nullopt}}, dir.path("data/out")));
}

// Names that are not UTF-8 are refused before any work: package tools would
// refuse them at the end.
TEST(AppContent, NamesThatAreNotUtf8AreRefused) {
    scratchDir dir;
    dir.mkdir("data");
    dir.write("data/caf\xe9", "latin-1");
    EXPECT_EQ("--app-content: '" + dir.path("data/caf\xe9") +
                  "' has a name that a package cannot list: it is not UTF-8",
              checkFailure({{dir.path("data"), std::nullopt}}, {}, false));
    ASSERT_EQ(0, rename(dir.path("data/caf\xe9").c_str(), dir.path("data/caf\xc3\xa9").c_str()));
    EXPECT_EQ("", checkFailure({{dir.path("data"), std::nullopt}}, {}, false));
}

// The source's owner swaps a folder for a link to another tree while the
// copy reads a large file in it: the copy goes on through the folder it
// opened, and never takes the other tree's files. Either folder may be
// listed first, so each holds a large file that starts the swap.
TEST(AppContent, AFolderSwappedDuringTheCopyIsNotFollowed) {
    scratchDir dir;
    int watch = inotify_init1(IN_CLOEXEC);
    ASSERT_LE(0, watch);
    for (const char* tree : {"data/top", "other"}) {
        dir.mkdir(std::string(tree) == "other" ? "other" : "data");
        dir.mkdir(tree);
        for (const char* folder : {"/a", "/b"}) {
            std::string path = std::string(tree) + folder;
            dir.mkdir(path);
            dir.write(path + "/file", std::string(tree) == "other" ? "secret" : "mine");
            if (std::string(tree) != "other") {
                dir.write(path + "/big", std::string(16 << 20, 'x'));
                ASSERT_LE(0, inotify_add_watch(watch, dir.path(path + "/big").c_str(), IN_OPEN));
            }
        }
    }
    dir.mkdir("image");
    std::thread swapper([&] {
        char event[4096];
        if (read(watch, event, sizeof event) > 0) {
            rename(dir.path("data/top").c_str(), dir.path("data/old").c_str());
            symlink(dir.path("other").c_str(), dir.path("data/top").c_str());
        }
    });
    std::string message =
        copyFailure({{dir.path("data"), std::string("share/d")}}, dir.path("image"));
    swapper.join();
    close(watch);
    EXPECT_EQ("", message);
    EXPECT_EQ("mine", readFile(dir.path("image/share/d/top/a/file")));
    EXPECT_EQ("mine", readFile(dir.path("image/share/d/top/b/file")));
}
