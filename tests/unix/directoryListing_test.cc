#include "config/configTestSupport.h"
#include "unix/directoryListing.h"

#include <gtest/gtest.h>

TEST(DirectoryListing, AppendsCanonicalPathsOfMatchingNames) {
    scratchDir dir;
    dir.mkdir("real");
    dir.write("real/a.ext", "");
    dir.write("real/a.ext2", "");
    dir.write("real/a-ext", "");
    dir.write("real/ext", "");
    ASSERT_EQ(0, symlink("real", dir.path("link").c_str()));
    stringArray files;
    files.append(copyOf("kept"));
    char extension[] = "ext";
    addFiles(&files, &dir.path("link")[0], extension);
    EXPECT_EQ("kept|" + dir.path("real/a.ext"), joined(files));
}
