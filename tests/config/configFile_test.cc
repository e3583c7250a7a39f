#include "configTestSupport.h"

#include <climits>
#include <gtest/gtest.h>

namespace {
// A reader whose text is handed over, named as a file in a scratch folder.
struct textReader {
    scratchDir dir;
    testVm vm;
    void parse(const std::string& text) { parseText(&vm, dir.path("app.config"), text); }
    std::string failure(const std::string& text) {
        return thrownMessage([&] { parse(text); });
    }
};
} // namespace

TEST(ConfigFile, EveryLineEndingEndsALine) {
    for (const char* ending : {"\r\n", "\n", "\r", ""}) {
        textReader reader;
        reader.parse(std::string("addpath lib") + ending);
        EXPECT_EQ(reader.dir.path("lib"), joined(reader.vm.classPath)) << "ending " << ending;
    }
    textReader mixed;
    mixed.parse("addparam a\r\n\r\n\n\raddparam b\n\r\r\naddparam c");
    EXPECT_EQ("a|b|c", joined(mixed.vm.params));
}

TEST(ConfigFile, EmptyTextCommentsAndBlankLinesChangeNothing) {
    textReader reader;
    reader.parse("");
    reader.parse("# addparam x\n\n   \n\t \t\n  # addparam y\n\t#addparam z");
    EXPECT_EQ(0, reader.vm.params.size());
    EXPECT_EQ(0, reader.vm.vmOptions.size());
}

TEST(ConfigFile, SpacesAndTabsAroundALineAndBeforeTheArgumentAreTrimmed) {
    textReader reader;
    reader.parse("  addparam x  \n\t addparam \t y\t\naddparam a\tb c");
    EXPECT_EQ("x|y|a\tb c", joined(reader.vm.params));
}

TEST(ConfigFile, TheArgumentIsUsedAsItStands) {
    textReader reader;
    reader.parse("vmparam -Dx=1 # note\nvmparam -Xms64m -Xmx256m\naddparam \"quoted arg\"\n"
                 "addparam $HOME\\n");
    EXPECT_EQ("-Dx=1 # note|-Xms64m -Xmx256m", joined(reader.vm.vmOptions));
    EXPECT_EQ("\"quoted arg\"|$HOME\\n", joined(reader.vm.params));
}

TEST(ConfigFile, ATabDoesNotEndTheDirectiveWordAndCaseCounts) {
    textReader reader;
    EXPECT_EQ("Unrecognized directive 'include\tx.config'", reader.failure("include\tx.config"));
    EXPECT_EQ("Unrecognized directive 'addparam\tx'", reader.failure("  addparam\tx y"));
    EXPECT_EQ("Unrecognized directive 'Include'", reader.failure("Include x.config"));
    EXPECT_EQ("Unrecognized directive 'MAINCLASS'", reader.failure("MAINCLASS App"));
}

TEST(ConfigFile, AnUnknownDirectiveStopsTheParseAndKeepsEarlierLines) {
    textReader reader;
    EXPECT_EQ("Unrecognized directive 'bogus'",
              reader.failure("addparam a\nbogus arg\naddparam b"));
    EXPECT_EQ("a", joined(reader.vm.params));
}

TEST(ConfigFile, ADirectiveWordOfAnyLengthIsReportedWhole) {
    textReader reader;
    std::string word(10000, 'w');
    EXPECT_EQ("Unrecognized directive '" + word + "'", reader.failure(word + " x"));
}

TEST(ConfigFile, TextEndsAtItsFirstNulByteAndAByteOrderMarkIsText) {
    textReader reader;
    reader.dir.write("nul.config", std::string("addparam a\n\0addparam b\n", 23));
    parseFile(&reader.vm, reader.dir.path("nul.config"));
    EXPECT_EQ("a", joined(reader.vm.params));
    EXPECT_EQ("Unrecognized directive '\xEF\xBB\xBF"
              "addparam'",
              reader.failure("\xEF\xBB\xBF"
                             "addparam x"));
}

TEST(ConfigFile, DirectivesWithoutAnArgumentGetTheEmptyOne) {
    textReader reader;
    reader.vm.setRestartCode(9);
    reader.parse("addpath\nrestartcode\nmainclass\nsocket");
    EXPECT_EQ(reader.dir.root, joined(reader.vm.classPath));
    EXPECT_EQ(0, reader.vm.restartCode);
    EXPECT_STREQ("", reader.vm.mainClass);
    EXPECT_EQ(0, reader.vm.getSocketPort());
    EXPECT_EQ("-Dlarkwin.socket=", joined(reader.vm.vmOptions));
}

TEST(ConfigFile, SocketKeepsTheArgumentTextAndReadsItsNumber) {
    textReader reader;
    reader.parse("socket 8080x");
    EXPECT_EQ(8080, reader.vm.getSocketPort());
    EXPECT_EQ("-Dlarkwin.socket=8080x", joined(reader.vm.vmOptions));
}

TEST(ConfigFile, NumbersSaturateAtTheLimitsOfInt) {
    textReader reader;
    reader.parse("restartcode -99999999999999999999\nsocket 99999999999999999999");
    EXPECT_EQ(INT_MIN, reader.vm.restartCode);
    EXPECT_EQ(INT_MAX, reader.vm.getSocketPort());
}

TEST(ConfigFile, PathDirectivesResolveAgainstTheReadersDirectory) {
    textReader reader;
    reader.parse("addpath lib/a.jar\naddpath /opt/../x/./a.jar\naddbootpath boot.jar\n"
                 "addskippath ../skip.jar\njavapath jre/bin/java");
    EXPECT_EQ(reader.dir.path("lib/a.jar") + "|/opt/../x/./a.jar", joined(reader.vm.classPath));
    EXPECT_EQ(reader.dir.path("boot.jar"), joined(reader.vm.bootPath));
    ownedString parent(createAbsolutePath(&reader.dir.root[0], const_cast<char*>("..")));
    EXPECT_EQ(std::string(parent.get()) + "/skip.jar", joined(reader.vm.skipPath));
    EXPECT_EQ(reader.dir.path("jre/bin/java"), reader.vm.javaPath);
}

TEST(ConfigFile, BootAndSkipDirectivesFollowTheDescriptionsRules) {
    textReader reader;
    reader.parse("addpath a.jar\naddpath b.jar\naddbootpath A.JAR\naddpath a.jar\n"
                 "addskippath b.jar\naddpath B.jar\naddbootpath b.jar");
    EXPECT_EQ("", joined(reader.vm.classPath));
    EXPECT_EQ(reader.dir.path("A.JAR"), joined(reader.vm.bootPath));
    EXPECT_EQ(reader.dir.path("b.jar"), joined(reader.vm.skipPath));
}

TEST(ConfigFile, ValueDirectivesHandOverCopies) {
    textReader reader;
    reader.vm.addParam(copyOf("fromCommandLine"));
    reader.parse("mainclass org.demo.First\nmainclass org.demo.App\nvmparam -Xmx1g\n"
                 "addparam one\nclearparams ignored words\naddparam two\nrestartcode 3\n");
    EXPECT_STREQ("org/demo/App", reader.vm.mainClass);
    EXPECT_EQ("-Xmx1g", joined(reader.vm.vmOptions));
    EXPECT_EQ("two", joined(reader.vm.params));
    EXPECT_EQ(3, reader.vm.restartCode);
}

TEST(ConfigFile, ReadsAFileAndResolvesAgainstItsDirectory) {
    scratchDir dir;
    testVm vm;
    dir.mkdir("etc");
    std::string file = dir.write("etc/app.config", "addpath lib\n");
    configFile reader(copyOf(file), &vm);
    EXPECT_EQ(file, reader.fileName);
    EXPECT_EQ(dir.path("etc"), reader.directory);
    EXPECT_STREQ("addpath lib\n", reader.content);
    reader.parse();
    EXPECT_EQ(dir.path("etc/lib"), joined(vm.classPath));
}

TEST(ConfigFile, AFileReachedThroughALinkResolvesAgainstTheTargetsDirectory) {
    scratchDir dir;
    testVm vm;
    dir.mkdir("real");
    dir.write("real/app.config", "addpath lib");
    ASSERT_EQ(0, symlink(dir.path("real/app.config").c_str(), dir.path("link.config").c_str()));
    parseFile(&vm, dir.path("link.config"));
    EXPECT_EQ(dir.path("real/lib"), joined(vm.classPath));
}

TEST(ConfigFile, AMissingFileOrADirectoryCannotBeOpened) {
    scratchDir dir;
    testVm vm;
    EXPECT_EQ("Unable to open '" + dir.path("none.config") + "'",
              parseFailure(&vm, dir.path("none.config")));
    std::string folder = dir.mkdir("folder.config");
    EXPECT_EQ("Unable to open '" + folder + "'", parseFailure(&vm, folder));
}

TEST(ConfigFile, APipeIsReadToItsEnd) {
    int ends[2];
    ASSERT_EQ(0, pipe(ends));
    std::string text = "mainclass App\n" + std::string(1000, '\n') + "addparam last";
    ASSERT_EQ((ssize_t)text.size(), write(ends[1], text.data(), text.size()));
    close(ends[1]);
    testVm vm;
    parseFile(&vm, "/dev/fd/" + std::to_string(ends[0]));
    close(ends[0]);
    EXPECT_STREQ("App", vm.mainClass);
    EXPECT_EQ("last", joined(vm.params));
}

TEST(ConfigFile, ANamedPipeIsReadToItsEnd) {
    scratchDir dir;
    std::string fifo = dir.path("app.config");
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    pid_t writer = fork();
    if (writer == 0) {
        alarm(30);
        FILE* out = fopen(fifo.c_str(), "w");
        fputs("mainclass App\naddpath lib\n", out);
        fclose(out);
        _exit(0);
    }
    testVm vm;
    parseFile(&vm, fifo);
    EXPECT_STREQ("App", vm.mainClass);
    EXPECT_EQ(dir.path("lib"), joined(vm.classPath));
    int status = -1;
    waitpid(writer, &status, 0);
    EXPECT_EQ(0, status);
}
