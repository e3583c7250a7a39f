#include "testSupport.h"
#include "unix/files.h"

#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

static std::string resolved(const std::string& base, const char* path) {
    ownedString result(
        createAbsolutePath(const_cast<char*>(base.c_str()), const_cast<char*>(path)));
    return result.get();
}

TEST(Files, PlatformConventions) {
    EXPECT_STREQ(":", getPathSeparator());
    EXPECT_STREQ("\n", getLineTerminator());
    EXPECT_EQ(0, getFileStrCmp()("A.jar", "a.JAR"));
    EXPECT_NE(0, getFileStrCmp()("a.jar", "b.jar"));
}

TEST(Files, ReadsSizesAndByteRanges) {
    scratchDir dir;
    std::string empty = dir.write("empty", "");
    std::string ten = dir.write("ten", "0123456789");
    EXPECT_EQ(0, getFileSize(&empty[0]));
    EXPECT_EQ(10, getFileSize(&ten[0]));
    ownedString none(createFileContent(&empty[0], 0, 0));
    EXPECT_STREQ("", none.get());
    ownedString middle(createFileContent(&ten[0], 3, 4));
    EXPECT_STREQ("3456", middle.get());
    ownedString beyond(createFileContent(&ten[0], 8, 100));
    EXPECT_STREQ("89", beyond.get());
}

TEST(Files, ByteRangesPast2GiBAreReadWhereTheyLie) {
    scratchDir dir;
    std::string sparse = dir.write("sparse", "");
    long offset = 3000000000L;
    ASSERT_EQ(0, truncate(sparse.c_str(), (off_t)offset));
    FILE* out = fopen(sparse.c_str(), "ab");
    fputs("tail", out);
    fclose(out);
    EXPECT_EQ(offset + 4, getFileSize(&sparse[0]));
    ownedString tail(createFileContent(&sparse[0], offset + 1, 10));
    EXPECT_STREQ("ail", tail.get());
}

TEST(Files, MissingFileAndDirectoryCannotBeOpened) {
    scratchDir dir;
    std::string missing = dir.path("missing");
    EXPECT_EQ("Unable to open '" + missing + "'", thrownMessage([&] { getFileSize(&missing[0]); }));
    EXPECT_EQ("Unable to open '" + missing + "'",
              thrownMessage([&] { delete[] createFileContent(&missing[0], 0, 1); }));
    std::string directory = dir.mkdir("sub");
    EXPECT_EQ("Unable to open '" + directory + "'",
              thrownMessage([&] { getFileSize(&directory[0]); }));
    EXPECT_EQ("Unable to open '" + directory + "'",
              thrownMessage([&] { delete[] createWholeFileContent(&directory[0], 1 << 30); }));
}

TEST(Files, PipeHasNoSizeButIsReadToItsEnd) {
    scratchDir dir;
    std::string fifo = dir.path("fifo");
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    std::string text(200000, 'z');
    pid_t writer = fork();
    if (writer == 0) {
        FILE* out = fopen(fifo.c_str(), "w");
        fwrite(text.data(), 1, text.size(), out);
        fclose(out);
        _exit(0);
    }
    ownedString content(createWholeFileContent(&fifo[0], 1 << 30));
    EXPECT_EQ(text, content.get());
    waitpid(writer, nullptr, 0);
}

// A regular file is read in one piece of its size: text after a NUL byte is
// read but ends the string, and a large file arrives whole.
TEST(Files, RegularFileIsReadWhole) {
    scratchDir dir;
    std::string empty = dir.write("empty", "");
    ownedString nothing(createWholeFileContent(&empty[0], 1 << 30));
    EXPECT_STREQ("", nothing.get());
    std::string withNul = dir.write("nul", std::string("ab\0cd", 5));
    ownedString cut(createWholeFileContent(&withNul[0], 1 << 30));
    EXPECT_STREQ("ab", cut.get());
    std::string text;
    for (int i = 0; text.size() < 3000000; i++) {
        text += "line " + std::to_string(i) + "\n";
    }
    std::string large = dir.write("large", text);
    ownedString content(createWholeFileContent(&large[0], 1 << 30));
    EXPECT_EQ(text, content.get());
}

// A file or stream of more than the limit gives null; a stream is read no
// further than one byte past the limit.
TEST(Files, WholeContentStopsAtTheLimit) {
    scratchDir dir;
    std::string ten = dir.write("ten", "0123456789");
    ownedString exact(createWholeFileContent(&ten[0], 10));
    EXPECT_STREQ("0123456789", exact.get());
    EXPECT_EQ(nullptr, createWholeFileContent(&ten[0], 9));
    int ends[2];
    ASSERT_EQ(0, pipe(ends));
    std::string text(5000, 'p');
    ASSERT_EQ((ssize_t)text.size(), write(ends[1], text.data(), text.size()));
    close(ends[1]);
    std::string reader = "/dev/fd/" + std::to_string(ends[0]);
    EXPECT_EQ(nullptr, createWholeFileContent(&reader[0], 1000));
    char rest[65536];
    size_t left = 0;
    for (ssize_t got; (got = read(ends[0], rest, sizeof rest)) > 0;) {
        left += (size_t)got;
    }
    close(ends[0]);
    EXPECT_EQ(text.size() - 1001, left);
}

TEST(Files, ResolvesDotsAndKeepsDoubledSlashes) {
    scratchDir dir;
    std::string base = dir.mkdir("base");
    EXPECT_EQ(base, resolved(base, ""));
    EXPECT_EQ(base, resolved(base, "."));
    EXPECT_EQ(dir.root, resolved(base, ".."));
    EXPECT_EQ(base + "/a/c", resolved(base, "a/./b/../c"));
    EXPECT_EQ(base + "/a", resolved(base, "a/"));
    EXPECT_EQ(base + "/a//b", resolved(base, "a//b"));
    EXPECT_EQ("/x/../y", resolved(base, "/x/../y"));
}

TEST(Files, DotDotOfAFileIsItsDirectory) {
    scratchDir dir;
    std::string file = dir.write("f.config", "");
    EXPECT_EQ(dir.root, resolved(file, ".."));
}

TEST(Files, RootIsTheEmptyPrefix) {
    EXPECT_EQ("/", resolved("/usr", "../.."));
    EXPECT_EQ("/", resolved("/usr", "../../../.."));
    EXPECT_EQ("/etc", resolved("/", "etc"));
    EXPECT_EQ("/", resolved("/", ""));
}

TEST(Files, NullBaseIsTheCanonicalWorkingDirectory) {
    scratchDir dir;
    dir.mkdir("real");
    symlink(dir.path("real").c_str(), dir.path("link").c_str());
    workingDirectory here(dir.path("link"));
    ownedString result(createAbsolutePath(nullptr, const_cast<char*>("x")));
    EXPECT_EQ(dir.path("real") + "/x", result.get());
}

TEST(Files, LinkedBaseResolvesToItsTarget) {
    scratchDir dir;
    dir.mkdir("target");
    symlink(dir.path("target").c_str(), dir.path("link").c_str());
    EXPECT_EQ(dir.path("target") + "/lib", resolved(dir.path("link"), "lib"));
}

TEST(Files, UnresolvableBaseYieldsAPathThatNamesNothing) {
    scratchDir dir;
    std::string result = resolved(dir.path("missing"), "x");
    EXPECT_EQ(dir.path("missing") + "/x", result);
}

TEST(Files, PathsLongerThanAnyFixedBufferResolveWhole) {
    scratchDir dir;
    std::string deep = dir.root;
    workingDirectory start(dir.root);
    std::string component(200, 'd');
    for (int i = 0; i < 30; i++) {
        ASSERT_EQ(0, ::mkdir(component.c_str(), 0755));
        ASSERT_EQ(0, chdir(component.c_str()));
        deep += "/" + component;
    }
    ASSERT_GT(deep.size(), 5000u);
    ownedString fromCwd(createAbsolutePath(nullptr, const_cast<char*>("leaf")));
    EXPECT_EQ(deep + "/leaf", fromCwd.get());
    ownedString working(createWorkingDirectory());
    EXPECT_EQ(deep, working.get());
}

TEST(Files, DeleteTempFileRemovesAndIgnoresMissing) {
    scratchDir dir;
    std::string file = dir.write("tmp", "x");
    deleteTempFile(&file[0]);
    EXPECT_NE(0, access(file.c_str(), F_OK));
    deleteTempFile(&file[0]);
}

static std::string parentOf(const char* path) {
    ownedString parent(createParentPath(path));
    return parent.get();
}

TEST(Files, ParentPathIsTheTextBeforeTheLastSlash) {
    EXPECT_EQ("/usr/lib/jvm/jdk", parentOf("/usr/lib/jvm/jdk/bin"));
    EXPECT_EQ("/", parentOf("/opt"));
    EXPECT_EQ("conf", parentOf("conf/app.config"));
    EXPECT_EQ(".", parentOf("app.config"));
    EXPECT_EQ("/a/../b", parentOf("/a/../b/c"));
}
