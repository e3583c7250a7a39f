#include "testSupport.h"
#include "unix/othersWritable.h"

#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

static std::string fileRefusal(const std::string& path) {
    return thrownMessage([&] { refuseFileOthersMayChange(path.c_str()); });
}

static std::string directoryRefusal(const std::string& path) {
    return thrownMessage([&] { refuseDirectoryOthersMayChange(path.c_str()); });
}

static std::string writable(const std::string& path) {
    return "Refusing '" + path + "': other users may write to it";
}

static std::string inWritable(const std::string& path) {
    return "Refusing '" + path + "': other users may write to its directory";
}

// The scratch directory lies in /tmp, sticky and writable by all: a file of
// mode 0644 there is fine, as are devices whatever their mode.
TEST(OthersWritable, FilesWritableByOthersAreRefused) {
    scratchDir dir;
    std::string file = dir.write("app.config", "");
    EXPECT_EQ("", fileRefusal(file));
    EXPECT_EQ("", fileRefusal(dir.path("missing.config")));
    EXPECT_EQ("", fileRefusal("/dev/null"));
    std::string directory = dir.mkdir("conf.d");
    chmod(directory.c_str(), 0777);
    EXPECT_EQ("", fileRefusal(directory)) << "left to the open, which fails";
    chmod(file.c_str(), 0646);
    EXPECT_EQ(writable(file), fileRefusal(file));
    chmod(file.c_str(), 0664);
    EXPECT_EQ("", fileRefusal(file));
    std::string fifo = dir.path("fifo.config");
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    chmod(fifo.c_str(), 0622);
    EXPECT_EQ(writable(fifo), fileRefusal(fifo));
}

TEST(OthersWritable, AFileInADirectoryOthersMayWriteIsRefusedUnlessItIsSticky) {
    scratchDir dir;
    std::string open = dir.mkdir("open");
    std::string file = dir.write("open/app.config", "");
    chmod(open.c_str(), 0777);
    EXPECT_EQ(inWritable(file), fileRefusal(file));
    chmod(open.c_str(), 01777);
    EXPECT_EQ("", fileRefusal(file));
    chmod(file.c_str(), 0666);
    EXPECT_EQ(writable(file), fileRefusal(file));
}

// Both the directory of the name given and that of its target count.
TEST(OthersWritable, LinksAreCheckedWhereTheyLieAndWhereTheyLead) {
    scratchDir dir;
    std::string open = dir.mkdir("open");
    std::string closed = dir.mkdir("closed");
    std::string target = dir.write("open/real.config", "");
    std::string link = closed + "/link.config";
    ASSERT_EQ(0, symlink(target.c_str(), link.c_str()));
    chmod(open.c_str(), 0777);
    EXPECT_EQ(inWritable(link), fileRefusal(link));
    chmod(open.c_str(), 0755);
    std::string back = open + "/back.config";
    ASSERT_EQ(0, symlink((closed + "/plain.config").c_str(), back.c_str()));
    dir.write("closed/plain.config", "");
    chmod(open.c_str(), 0777);
    EXPECT_EQ(inWritable(back), fileRefusal(back));
}

TEST(OthersWritable, ListedDirectoriesOthersMayWriteAreRefusedEvenSticky) {
    scratchDir dir;
    std::string listed = dir.mkdir("conf.d");
    EXPECT_EQ("", directoryRefusal(listed));
    EXPECT_EQ("", directoryRefusal(dir.path("missing.d")));
    EXPECT_EQ("", directoryRefusal(dir.write("plain", "")));
    chmod(listed.c_str(), 0777);
    EXPECT_EQ(writable(listed), directoryRefusal(listed));
    chmod(listed.c_str(), 01777);
    EXPECT_EQ(writable(listed), directoryRefusal(listed));
    chmod(listed.c_str(), 0755);
    std::string inner = dir.mkdir("conf.d/inner.d");
    chmod(listed.c_str(), 0777);
    EXPECT_EQ(inWritable(inner), directoryRefusal(inner));
}
