#include "cache/loaderClasses.h"
#include "testSupport.h"

#include <gtest/gtest.h>

namespace {

const char* const boot = " loader: [loader data: 0x01 of 'bootstrap']";
const char* const app =
    " loader: [loader data: 0x02 for instance a 'jdk/internal/loader/ClassLoaders$AppClassLoader'"
    "{0x03}]";
const char* const own = " loader: [loader data: 0x04 for instance a 'org/x/RootLoader'{0x05}] "
                        "bytes: 10 checksum: ab";

// One class of the log: its line, then its klass line.
std::string loaded(const std::string& name, const std::string& source, const std::string& klass,
                   const std::string& super, const std::string& loader,
                   const std::string& interfaces = "") {
    return name + " source: " + source + "\n klass: " + klass + " super: " + super +
           (interfaces.empty() ? "" : " interfaces: " + interfaces) + loader + "\n";
}

// java/lang/Object at 0x10 and java/lang/Runnable at 0x20, as the boot
// loader's, and the application's org/x/Main at 0x30.
const std::string builtIns =
    loaded("java.lang.Object", "shared objects file", "0x10", "0x0", boot) +
    loaded("java.lang.Runnable", "jrt:/java.base", "0x20", "0x10", boot) +
    loaded("org.x.Main", "file:/app/main.jar", "0x30", "0x10", app);
const std::string list = "# written by the JVM\njava/lang/Object\njava/lang/Runnable\n"
                         "@lambda-proxy org/x/Main run ()V\norg/x/Main\n";
const std::string listWithIds = "# written by the JVM\njava/lang/Object id: 1\n"
                                "java/lang/Runnable id: 2\n@lambda-proxy org/x/Main run ()V\n"
                                "org/x/Main id: 3\n";

struct mergeCase {
    const char* what;
    std::string list;
    std::string log;
    std::string merged;
    int added;
    // The list the archive in place was made from; none when empty.
    std::string earlier;
};

TEST(LoaderClasses, TheListGainsTheClassesOfOtherLoadersThatItCanDescribe) {
    const mergeCase cases[] = {
        {"a class, then one that extends it and implements an interface", list,
         builtIns + loaded("p.A", "file:/lib/p.jar", "0x40", "0x10", own) +
             loaded("p.B", "file:/lib/p.jar", "0x50", "0x40", own, "0x20"),
         listWithIds + "p/A id: 4 super: 1 source: /lib/p.jar\n"
                       "p/B id: 5 super: 4 interfaces: 2 source: /lib/p.jar\n",
         2, ""},
        {"a super class the list lacks leaves the class out, and its subclasses", list,
         builtIns + loaded("java.lang.Gone", "__JVM_LookupDefineClass__", "0x60", "0x10", boot) +
             loaded("p.A", "file:/lib/p.jar", "0x40", "0x60", own) +
             loaded("p.B", "file:/lib/p.jar", "0x50", "0x40", own) +
             loaded("p.C", "file:/lib/p.jar", "0x70", "0x10", own, "0x20 0x60"),
         listWithIds, 0, ""},
        {"only a jar named by a plain file: URL is a source", list,
         builtIns + loaded("p.A", "jrt:/java.xml", "0x40", "0x10", own) +
             loaded("p.B", "file:/lib/classes/", "0x41", "0x10", own) +
             loaded("p.C", "file:/lib/with%20space.jar", "0x42", "0x10", own) +
             loaded("p.D", "jar:file:/lib/outer.jar!/inner.jar", "0x43", "0x10", own) +
             loaded("p.E", "shared objects file", "0x44", "0x10", own) +
             loaded("p.F", "__dynamic_proxy__", "0x45", "0x10", own),
         listWithIds, 0, ""},
        {"a name the list or the log had already is left out", list,
         builtIns + loaded("org.x.Main", "file:/lib/p.jar", "0x40", "0x10", own) +
             loaded("p.A", "file:/lib/p.jar", "0x41", "0x10", own) +
             loaded("p.A", "file:/lib/q.jar", "0x42", "0x10", own) +
             loaded("p.B", "file:/lib/p.jar", "0x43", "0x40", own),
         listWithIds + "p/A id: 4 super: 1 source: /lib/p.jar\n", 1, ""},
        {"ids the JVM wrote stay, and new ones follow the highest",
         "java/lang/Object id: 7\njava/lang/Runnable id: 3\n",
         builtIns + loaded("p.A", "file:/lib/p.jar", "0x40", "0x10", own, "0x20"),
         "java/lang/Object id: 7\njava/lang/Runnable id: 3\n"
         "p/A id: 8 super: 7 interfaces: 3 source: /lib/p.jar\n",
         1, ""},
        {"an address reused after an unloading names the latest class", list,
         builtIns + loaded("p.A", "file:/lib/p.jar", "0x40", "0x10", own) +
             loaded("p.Other", "file:/lib/p.jar", "0x40", "0x10", own) +
             loaded("p.B", "file:/lib/p.jar", "0x50", "0x40", own),
         listWithIds + "p/A id: 4 super: 1 source: /lib/p.jar\n"
                       "p/Other id: 5 super: 1 source: /lib/p.jar\n"
                       "p/B id: 6 super: 5 source: /lib/p.jar\n",
         3, ""},
        {"lines of other forms pass as they are, and an id out of range counts for none",
         "java/lang/Object\nfoo/Bar extra words\njava/lang/Object\n"
         "java/lang/Runnable id: 99999999999\n",
         builtIns + loaded("p.A", "file:/lib/p.jar", "0x40", "0x10", own, "0x20"),
         "java/lang/Object id: 1\nfoo/Bar extra words\njava/lang/Object\n"
         "java/lang/Runnable id: 99999999999\n",
         0, ""},
        {"a class the run mapped takes its jar from the list the archive was made from", list,
         builtIns + loaded("p.A", "shared objects file", "0x40", "0x10", own) +
             loaded("p.B", "shared objects file", "0x41", "0x10", own),
         listWithIds + "p/A id: 4 super: 1 source: /lib/old.jar\n", 1,
         "java/lang/Object id: 1\np/A id: 9 super: 1 source: /lib/old.jar\n"},
        {"a log cut short in a class's lines", list,
         builtIns + "p.A source: file:/lib/p.jar\n klass: 0x40 sup", listWithIds, 0, ""},
    };
    for (const mergeCase& c : cases) {
        scratchDir dir;
        std::string merged = dir.path("merged");
        std::string earlier = c.earlier.empty() ? "" : dir.write("earlier", c.earlier);
        int added = writeListWithLoaderClasses(
            dir.write("list", c.list).c_str(), dir.write("log", c.log).c_str(),
            earlier.empty() ? nullptr : earlier.c_str(), merged.c_str());
        EXPECT_EQ(c.merged, readFile(merged)) << c.what;
        EXPECT_EQ(c.added, added) << c.what;
    }
}

TEST(LoaderClasses, AFileThatCannotBeReadOrWrittenIsAFailure) {
    scratchDir dir;
    std::string present = dir.write("list", list);
    std::string log = dir.write("log", builtIns);
    std::string taken = dir.write("taken", "");
    EXPECT_EQ(-1, writeListWithLoaderClasses(dir.path("none").c_str(), log.c_str(), nullptr,
                                             dir.path("a").c_str()));
    EXPECT_EQ(-1, writeListWithLoaderClasses(present.c_str(), dir.path("none").c_str(), nullptr,
                                             dir.path("b").c_str()));
    // The merged list is a new file, never one that is there already.
    EXPECT_EQ(-1, writeListWithLoaderClasses(present.c_str(), log.c_str(), nullptr, taken.c_str()));
    EXPECT_EQ("", readFile(taken));
}

TEST(LoaderClasses, TheLogGoesToAFileUndecoratedAndNeverRotated) {
    char* option = createLoadLogOption("/c/a b:c.classlist.log");
    EXPECT_STREQ("-Xlog:class+load=debug:file=\"/c/a b:c.classlist.log\":none:filecount=0", option);
    delete[] option;
    EXPECT_EQ(nullptr, createLoadLogOption("/c/a\"b"));
    EXPECT_TRUE(logsLoaderClasses(17));
    EXPECT_FALSE(logsLoaderClasses(24));
}

} // namespace
