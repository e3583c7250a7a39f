#include "launcher/openCommand.h"
#include "testSupport.h"

#include <gtest/gtest.h>

static std::string openCommand(const char* parameter) {
    ownedString command(createOpenCommand(parameter));
    return command.get();
}

// URLs go as they are, however much of a path they seem to hold.
TEST(openCommandTest, urlsAreSentAsTheyAre) {
    scratchDir scratch;
    workingDirectory here(scratch.root);
    EXPECT_EQ("open myapp://open?id=3", openCommand("myapp://open?id=3"));
    EXPECT_EQ("open mailto:someone@example.org", openCommand("mailto:someone@example.org"));
    EXPECT_EQ("open https://example.org/a/../b", openCommand("https://example.org/a/../b"));
    EXPECT_EQ("open file:///tmp/a%20b.txt", openCommand("file:///tmp/a%20b.txt"));
    EXPECT_EQ("open svn+ssh://host/repo", openCommand("svn+ssh://host/repo"));
    EXPECT_EQ("open x-my.app-2:go", openCommand("x-my.app-2:go"));
    EXPECT_EQ("open Web:Site", openCommand("Web:Site"));
}

// Everything that is no scheme followed by a colon keeps its absolute path.
TEST(openCommandTest, otherParametersBecomeAbsolutePaths) {
    scratchDir scratch;
    workingDirectory here(scratch.root);
    std::string prefix = "open " + scratch.root + "/";
    EXPECT_EQ(prefix + "notes.txt", openCommand("notes.txt"));
    EXPECT_EQ("open /etc/passwd", openCommand("/etc/passwd"));
    // A drive letter, not a scheme of one letter.
    EXPECT_EQ(prefix + "C:/docs/a.txt", openCommand("C:/docs/a.txt"));
    // A scheme begins with a letter, holds no other characters, and is
    // followed directly by the colon.
    EXPECT_EQ(prefix + "2024:report", openCommand("2024:report"));
    EXPECT_EQ(prefix + "my_app:x", openCommand("my_app:x"));
    EXPECT_EQ(prefix + "a b:c", openCommand("a b:c"));
    EXPECT_EQ(prefix + "dir/x:y", openCommand("dir/x:y"));
    EXPECT_EQ(prefix + "noColon", openCommand("noColon"));
    EXPECT_EQ(prefix + ":x", openCommand(":x"));
    EXPECT_EQ("open " + scratch.root, openCommand(""));
}

// A file or directory of that name is what the user meant.
TEST(openCommandTest, anExistingFileWinsOverAScheme) {
    scratchDir scratch;
    workingDirectory here(scratch.root);
    scratch.write("backup.2024:01.tar", "");
    scratch.mkdir("notes:");
    EXPECT_EQ("open " + scratch.root + "/backup.2024:01.tar", openCommand("backup.2024:01.tar"));
    EXPECT_EQ("open " + scratch.root + "/notes:", openCommand("notes:"));
    EXPECT_FALSE(isUrlParameter("backup.2024:01.tar"));
    EXPECT_TRUE(isUrlParameter("backup.2024:02.tar"));
}
