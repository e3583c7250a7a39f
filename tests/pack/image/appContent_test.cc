#include "pack/image/appContent.h"

#include "testSupport.h"

#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string copyFailure(const std::vector<appContent>& contents, const std::string& image) {
    return thrownMessage([&] { copyAppContents(contents, image, "myapp"); });
}

std::string linkTarget(const std::string& path) {
    char target[4096];
    ssize_t length = readlink(path.c_str(), target, sizeof target);
    return length < 0 ? "" : std::string(target, length);
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
                    dir.path("image"), "myapp");
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
    copyAppContents({{dir.path("data"), std::nullopt}}, dir.path("image"), "myapp");
    EXPECT_EQ("--app-content: 'share/myapp/data' is in the image already",
              copyFailure({{dir.path("data"), std::nullopt}}, dir.path("image")));
}
