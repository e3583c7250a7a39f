#include "config/parseChain.h"
#include "configTestSupport.h"
#include "processSupport.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <set>
#include <unistd.h>

TEST(Include, AnIncludedFileResolvesAgainstItsOwnDirectory) {
    scratchDir dir;
    testVm vm;
    dir.mkdir("sub");
    dir.write("sub/inner.config", "addpath lib\naddparam inner");
    std::string outer = dir.write("outer.config", "addparam before\ninclude sub/inner.config\n"
                                                  "addparam after\naddpath lib");
    parseFile(&vm, outer);
    EXPECT_EQ("before|inner|after", joined(vm.params));
    EXPECT_EQ(dir.path("sub/lib") + "|" + dir.path("lib"), joined(vm.classPath));
}

TEST(Include, ALinkedIncludeResolvesAgainstItsTargetsDirectory) {
    scratchDir dir;
    testVm vm;
    dir.mkdir("real");
    dir.write("real/inner.config", "addpath lib");
    ASSERT_EQ(0, symlink("real/inner.config", dir.path("link.config").c_str()));
    parseFile(&vm, dir.write("outer.config", "include link.config"));
    EXPECT_EQ(dir.path("real/lib"), joined(vm.classPath));
}

TEST(Include, AMissingIncludeNamesTheResolvedPath) {
    scratchDir dir;
    testVm vm;
    std::string outer = dir.write("outer.config", "include ./sub/../missing.config");
    EXPECT_EQ("Unable to open '" + dir.path("missing.config") + "'", parseFailure(&vm, outer));
}

TEST(Include, ErrorsOfAnIncludedFilePassThrough) {
    scratchDir dir;
    testVm vm;
    dir.write("inner.config", "addparam a\nnonsense");
    std::string outer = dir.write("outer.config", "include inner.config\naddparam b");
    EXPECT_EQ("Unrecognized directive 'nonsense'", parseFailure(&vm, outer));
    EXPECT_EQ("a", joined(vm.params));
}

TEST(Include, AFileThatIncludesItselfIsACycle) {
    scratchDir dir;
    testVm vm;
    std::string self = dir.write("self.config", "addparam once\ninclude self.config");
    EXPECT_EQ("Configuration include cycle at '" + self + "'", parseFailure(&vm, self));
    EXPECT_EQ("once", joined(vm.params));
    EXPECT_EQ(0, isBeingParsed(self.c_str()));
}

TEST(Include, ACycleThroughOtherFilesAndLinksNamesTheFileParsedTwice) {
    scratchDir dir;
    testVm vm;
    std::string a = dir.write("a.config", "include b.config");
    dir.write("b.config", "include c.config");
    dir.write("c.config", "include link.config");
    ASSERT_EQ(0, symlink(a.c_str(), dir.path("link.config").c_str()));
    EXPECT_EQ("Configuration include cycle at '" + a + "'", parseFailure(&vm, a));
    EXPECT_EQ("Configuration include cycle at '" + a + "'",
              parseFailure(&vm, dir.path("link.config")));
}

TEST(Include, AnIncludeDirOfTheIncludingFilesDirectoryIsACycle) {
    scratchDir dir;
    testVm vm;
    std::string self = dir.write("self.config", "includedir");
    EXPECT_EQ("Configuration include cycle at '" + self + "'", parseFailure(&vm, self));
}

TEST(Include, RepeatedAndDeepIncludesAreNoCycle) {
    scratchDir dir;
    testVm vm;
    dir.write("leaf.config", "addparam leaf");
    for (int i = 0; i < 100; i++) {
        std::string next = i == 0 ? "leaf" : "level" + std::to_string(i - 1);
        dir.write("level" + std::to_string(i) + ".config", "include " + next + ".config");
    }
    parseFile(&vm, dir.write("top.config", "include level99.config\ninclude leaf.config"));
    EXPECT_EQ("leaf|leaf", joined(vm.params));
}

TEST(Include, HandedOverTextIsNotMarkedAsBeingParsed) {
    scratchDir dir;
    testVm vm;
    std::string exe = dir.write("app.config", "addparam fromFile");
    parseText(&vm, exe, "include app.config");
    EXPECT_EQ("fromFile", joined(vm.params));
}

namespace {
// The wanted names, each after prefix, in the order the file system lists
// them, joined by "|".
std::string inListingOrder(const std::string& path, const std::set<std::string>& wanted,
                           const std::string& prefix) {
    std::string order;
    DIR* listing = opendir(path.c_str());
    while (struct dirent* entry = readdir(listing)) {
        if (wanted.count(entry->d_name) > 0) {
            order += (order.empty() ? "" : "|") + prefix + entry->d_name;
        }
    }
    closedir(listing);
    return order;
}
} // namespace

TEST(IncludeDir, ParsesOnlyFilesEndingInDotConfigInListingOrder) {
    scratchDir dir;
    testVm vm;
    dir.mkdir("conf");
    for (const char* name : {"a.config", "b.txt", "c.CONFIG", ".config", "d.config.bak", "config",
                             "e.config", "f.config"}) {
        dir.write(std::string("conf/") + name, std::string("addparam ") + name);
    }
    parseText(&vm, dir.path("app"), "includedir conf");
    EXPECT_EQ(inListingOrder(dir.path("conf"), {"a.config", ".config", "e.config", "f.config"}, ""),
              joined(vm.params));
}

TEST(IncludeDir, IncludedFilesResolveAgainstTheCanonicalDirectory) {
    scratchDir dir;
    testVm vm;
    dir.mkdir("real");
    dir.write("real/x.config", "addpath lib");
    ASSERT_EQ(0, symlink("real", dir.path("link").c_str()));
    parseText(&vm, dir.path("app"), "includedir link");
    EXPECT_EQ(dir.path("real/lib"), joined(vm.classPath));
}

TEST(IncludeDir, AMissingDirectoryOrAPlainFileAddsNothing) {
    scratchDir dir;
    testVm vm;
    dir.write("plain.config", "addparam x");
    parseText(&vm, dir.path("app"), "includedir missing\nincludedir plain.config");
    EXPECT_EQ(0, vm.params.size());
}

TEST(IncludeDir, AListedEntryThatCannotBeOpenedStopsTheParse) {
    scratchDir dir;
    testVm vm;
    dir.mkdir("conf");
    std::string folder = dir.mkdir("conf/sub.config");
    EXPECT_EQ("Unable to open '" + folder + "'",
              thrownMessage([&] { parseText(&vm, dir.path("app"), "includedir conf"); }));
}

TEST(AddJars, AddsOnlyEntriesEndingInDotJarInListingOrder) {
    scratchDir dir;
    testVm vm;
    dir.mkdir("lib");
    for (const char* name : {"x.jar", "y.JAR", "jar", "z.jar.old", ".jar", "w.jar"}) {
        dir.write(std::string("lib/") + name, "");
    }
    dir.mkdir("lib/classes.jar");
    parseText(&vm, dir.path("app"), "addjars lib");
    EXPECT_EQ(inListingOrder(dir.path("lib"), {"x.jar", ".jar", "w.jar", "classes.jar"},
                             dir.path("lib/")),
              joined(vm.classPath));
}

TEST(AddJars, TheEmptyArgumentIsTheReadersOwnDirectory) {
    scratchDir dir;
    testVm vm;
    dir.write("a.jar", "");
    parseText(&vm, dir.path("app"), "addjars\naddjars missing\naddjars a.jar");
    EXPECT_EQ(dir.path("a.jar"), joined(vm.classPath));
}

TEST(AddJars, BootArchivesLeaveTheClassPathAndSkippedOnesStayOut) {
    scratchDir dir;
    testVm vm;
    dir.mkdir("lib");
    dir.write("lib/a.jar", "");
    parseText(&vm, dir.path("app"), "addjars lib\naddbootjars lib");
    EXPECT_EQ("", joined(vm.classPath));
    EXPECT_EQ(dir.path("lib/a.jar"), joined(vm.bootPath));

    testVm skipping;
    parseText(&skipping, dir.path("app"), "addskippath lib/A.jar\naddjars lib\naddbootjars lib");
    EXPECT_EQ("", joined(skipping.classPath) + joined(skipping.bootPath));
}

// A chain of files, each including the next: level 0 includes level 1, and
// the last one adds a parameter.
static std::string writeChain(scratchDir& dir, int includes) {
    for (int level = 0; level < includes; level++) {
        dir.write("level" + std::to_string(level) + ".config",
                  "include level" + std::to_string(level + 1) + ".config\n");
    }
    dir.write("level" + std::to_string(includes) + ".config", "addparam bottom\n");
    return dir.path("level0.config");
}

TEST(Include, IncludesNestAtMostAThousandDeep) {
    scratchDir dir;
    std::string top = writeChain(dir, 1001);
    testVm deepest;
    parseFile(&deepest, dir.path("level1.config"));
    EXPECT_EQ("bottom", joined(deepest.params));
    EXPECT_EQ(0, getParseDepth());
    testVm tooDeep;
    EXPECT_EQ("Refusing '" + dir.path("level1001.config") +
                  "': includes may nest at most 1000 deep",
              parseFailure(&tooDeep, top));
    EXPECT_EQ("", joined(tooDeep.params));
    EXPECT_EQ(0, getParseDepth());
    EXPECT_EQ(0, isBeingParsed(top.c_str()));
}

// An endless stream or a huge file is refused after reading at most the
// bound and one byte more; a sparse file costs no disk.
TEST(Include, ATextOver64MiBIsRefused) {
    scratchDir dir;
    std::string huge = dir.write("huge.config", "");
    ASSERT_EQ(0, truncate(huge.c_str(), 64 * 1024 * 1024 + 1));
    for (std::string included : {huge, std::string("/dev/zero")}) {
        testVm vm;
        std::string outer = dir.write("outer.config", "addparam a\ninclude " + included);
        EXPECT_EQ("Refusing '" + included + "': a configuration may hold at most 64 MiB",
                  parseFailure(&vm, outer));
        EXPECT_EQ("a", joined(vm.params));
    }
    std::string full = dir.write("full.config", "");
    ASSERT_EQ(0, truncate(full.c_str(), 64 * 1024 * 1024));
    testVm vm;
    parseFile(&vm, full);
    EXPECT_EQ("", joined(vm.params));
}

// Root with a user's HOME still set must not run that user's settings: a
// file of another user counts as empty however it is reached, with one line
// on standard error. The launcher's owner's files are read, so that an
// installation a build user owns keeps working.
TEST(Include, FilesOfAnotherUserAreNotReadButThoseOfTheLaunchersOwnerAre) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to give files to other users";
    }
    scratchDir dir;
    dir.mkdir("conf.d");
    std::string launcher = dir.write("app", "");
    ASSERT_EQ(0, chown(launcher.c_str(), 4242, 4242));
    exePathFor exe(launcher);
    std::string theirs = dir.write("theirs.config", "addparam theirs\njavapath /evil");
    std::string listed = dir.write("conf.d/theirs.config", "addparam listed\njavapath /evil");
    ASSERT_EQ(0, chown(theirs.c_str(), 65534, 65534));
    ASSERT_EQ(0, chown(listed.c_str(), 65534, 65534));
    const struct {
        const char* line;
        std::string skipped;
    } cases[] = {{"include theirs.config", theirs},
                 {"tryinclude theirs.config", theirs},
                 {"includedir conf.d", listed}};
    for (const auto& c : cases) {
        testVm vm;
        std::string outer = dir.write("outer.config", std::string("addparam before\n") + c.line +
                                                          "\naddparam after");
        processResult result = outputOf([&] { parseFile(&vm, outer); });
        EXPECT_EQ("before|after", joined(vm.params)) << c.line;
        EXPECT_EQ(nullptr, vm.javaPath) << c.line;
        EXPECT_EQ("Not reading '" + c.skipped + "': it belongs to another user (uid 65534)\n",
                  result.err)
            << c.line;
    }
    testVm first;
    outputOf([&] { parseFile(&first, theirs); });
    EXPECT_EQ(0, first.params.size());
    ASSERT_EQ(0, chown(theirs.c_str(), 4242, 4242));
    testVm owners;
    parseFile(&owners, dir.write("outer.config", "include theirs.config"));
    EXPECT_EQ("theirs", joined(owners.params));
}
