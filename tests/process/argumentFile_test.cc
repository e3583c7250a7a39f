#include "process/argumentFile.h"
#include "testSupport.h"
#include "unix/exePath.h"

#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {
std::string textOf(std::vector<std::string> arguments) {
    std::vector<char*> pointers;
    for (std::string& argument : arguments) {
        pointers.push_back(&argument[0]);
    }
    char* text = createArgumentFileText(pointers.data(), (int)pointers.size());
    std::string result = text;
    delete[] text;
    return result;
}
} // namespace

TEST(ArgumentFile, LimitIsThirtyTwoPagesWithTheTerminator) {
    std::string longest(32 * 4096 - 1, 'x');
    EXPECT_EQ(0, isTooLongForExec(longest.c_str()));
    longest += "x";
    EXPECT_EQ(1, isTooLongForExec(longest.c_str()));
    EXPECT_EQ(0, isTooLongForExec(""));
}

TEST(ArgumentFile, EachArgumentIsQuotedOnItsOwnLineWithJavasEscapes) {
    EXPECT_EQ("\"-cp\"\n\"/a b/x.jar:/c'd#e\\\\f.jar\"\n",
              textOf({"-cp", "/a b/x.jar:/c'd#e\\f.jar"}));
    EXPECT_EQ("\"say \\\"hi\\\"\"\n\"line\\none\\rtwo\"\n\"\"\n\"tab\there\"\n",
              textOf({"say \"hi\"", "line\none\rtwo", "", "tab\there"}));
    EXPECT_EQ("\"\\\\\\\\server\\\\share\"\n", textOf({"\\\\server\\share"}));
    EXPECT_EQ("", textOf({}));
}

TEST(ArgumentFile, FileIsPrivateHoldsTheTextAndIsGoneWithItsOwner) {
    scratchDir dir;
    std::string path;
    std::string cp = "-cp";
    std::string value = "a b";
    char* arguments[] = {&cp[0], &value[0]};
    debug = 0;
    {
        argumentFile file;
        EXPECT_EQ(nullptr, file.getPath());
        char* reference = file.createReference(arguments, 2);
        path = file.getPath();
        EXPECT_EQ("@" + path, reference);
        delete[] reference;
        EXPECT_EQ(0u, path.find("/tmp/larkwin-args-")) << path;
        EXPECT_EQ(std::string("/tmp/larkwin-args-XXXXXX").size(), path.size());
        struct stat status;
        ASSERT_EQ(0, stat(path.c_str(), &status));
        EXPECT_EQ(0600u, status.st_mode & 07777);
        EXPECT_EQ("\"-cp\"\n\"a b\"\n", readFile(path));
    }
    struct stat status;
    EXPECT_NE(0, stat(path.c_str(), &status));
}
