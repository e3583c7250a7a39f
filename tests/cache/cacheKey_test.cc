#include "cache/cacheKey.h"
#include "cache/vmShape.h"
#include "process/jniVmUnix.h"
#include "testSupport.h"
#include "util/strings.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

namespace {
// The key as the cache makes it, on a machine of two processors and 8 GiB.
uint64_t keyOf(const jniVmUnix& vm) {
    stringArray all;
    collectVmOptions(all, vm.vmOptions);
    vmShape shape(all, 17, machineSize{2, 8ull << 30});
    char* description = shape.createDescription();
    cacheKey key;
    addLaunchState(key, vm, all, description);
    delete[] description;
    return key.getValue();
}

uint64_t textKey(const char* first, const char* second) {
    cacheKey key;
    key.addText(first);
    key.addText(second);
    return key.getValue();
}

void setTime(const std::string& path, long seconds) {
    struct utimbuf times = {seconds, seconds};
    utime(path.c_str(), &times);
}
} // namespace

TEST(CacheKey, IsFnv1aOverTerminatedParts) {
    cacheKey empty;
    EXPECT_EQ(14695981039346656037ull, empty.getValue());
    cacheKey a;
    a.addText("a");
    // FNV-1a 64 of "a" followed by its terminating NUL.
    EXPECT_EQ(0x089be207b544f1e4ull, a.getValue());
    ownedString hex(a.createHex());
    EXPECT_STREQ("089be207b544f1e4", hex.get());
    EXPECT_NE(textKey("ab", "c"), textKey("a", "bc"));
}

// A zip archive of one stored entry whose central directory states crc,
// after prefix (as a bundle's launcher stands before its archive) and with
// comment (its configuration).
std::string zipWith(uint32_t crc, const std::string& prefix = "", const std::string& comment = "",
                    bool zip64 = false) {
    auto little = [](std::string& out, uint32_t value, int bytes) {
        for (int i = 0; i < bytes; i++) {
            out.push_back((char)(value >> (8 * i)));
        }
    };
    std::string zip = prefix + "DATA";
    std::string directory = "PK\1\2";
    for (uint32_t field : {20u, 20u, 0u, 0u, 0u, 0u}) {
        little(directory, field, 2);
    }
    for (uint32_t field : {crc, 4u, 4u}) {
        little(directory, field, 4);
    }
    for (uint32_t field : {5u, 0u, 0u, 0u, 0u}) {
        little(directory, field, 2);
    }
    little(directory, 0, 4);
    little(directory, 0, 4);
    directory += "a.txt";
    std::string end = "PK\5\6";
    for (uint32_t field : {0u, 0u, 1u, 1u}) {
        little(end, field, 2);
    }
    little(end, zip64 ? 0xffffffffu : (uint32_t)directory.size(), 4);
    little(end, zip64 ? 0xffffffffu : (uint32_t)zip.size(), 4);
    little(end, (uint32_t)comment.size(), 2);
    if (!zip64) {
        return zip + directory + end + comment;
    }
    // The ZIP64 end record (its sizes in 64 bits) and its locator.
    std::string record = "PK\6\6";
    little(record, 44, 4);
    little(record, 0, 4);
    for (uint32_t field : {45u, 45u, 0u, 0u}) {
        little(record, field, field == 0 ? 4 : 2);
    }
    for (uint32_t field : {1u, 1u, (uint32_t)directory.size(), (uint32_t)zip.size()}) {
        little(record, field, 4);
        little(record, 0, 4);
    }
    std::string locator = "PK\6\7";
    little(locator, 0, 4);
    little(locator, (uint32_t)(zip.size() + directory.size()), 4);
    little(locator, 0, 4);
    little(locator, 1, 4);
    return zip + directory + record + locator + end + comment;
}

uint64_t stateOf(const std::string& path, bool byContent) {
    cacheKey key;
    if (byContent) {
        key.identifyByContent();
    }
    key.addFileState(path.c_str());
    return key.getValue();
}

// A jar written again or replaced by one of the same size and time (two
// packages built with the same SOURCE_DATE_EPOCH) holds other classes, which
// the JVM would not see: its inode or change time tells it, or, for an app
// image's archive, whose files are installed with new inodes, its central
// directory.
TEST(CacheKey, FileStateChangesWheneverTheFileIsWrittenOrReplaced) {
    scratchDir dir;
    std::string jar = dir.write("a.jar", zipWith(1));
    setTime(jar, 1600000000);
    const uint64_t original = stateOf(jar, false);
    const uint64_t content = stateOf(jar, true);
    ASSERT_EQ(0, symlink(jar.c_str(), dir.path("link.jar").c_str()));
    EXPECT_EQ(content, stateOf(dir.path("link.jar"), true)) << "by the file it names";
    EXPECT_NE(original, stateOf(dir.path("link.jar"), false)) << "the user's: as named";
    struct stat before;
    stat(jar.c_str(), &before);
    struct stat now = before;
    // The change time moves with the clock's tick, every few milliseconds.
    for (int i = 0; i < 100000 && now.st_ctim.tv_nsec == before.st_ctim.tv_nsec &&
                    now.st_ctim.tv_sec == before.st_ctim.tv_sec;
         i++) {
        dir.write("a.jar", zipWith(1));
        setTime(jar, 1600000000);
        stat(jar.c_str(), &now);
    }
    EXPECT_NE(original, stateOf(jar, false)) << "written again, the same bytes";
    EXPECT_EQ(content, stateOf(jar, true));
    dir.write("b.jar", zipWith(2));
    setTime(dir.path("b.jar"), 1600000000);
    ASSERT_EQ(0, rename(dir.path("b.jar").c_str(), jar.c_str()));
    EXPECT_NE(original, stateOf(jar, false)) << "replaced, same size and time";
    EXPECT_NE(content, stateOf(jar, true)) << "other classes";
    setTime(jar, 1600000001);
    EXPECT_NE(original, stateOf(jar, false));
    unlink(jar.c_str());
    EXPECT_NE(original, stateOf(jar, false));
}

// A package installs the image's files with new inodes and change times.
TEST(CacheKey, ByContentACopyWithItsTimesKeepsItsKey) {
    scratchDir dir;
    const std::string bodies[] = {zipWith(7), zipWith(7, "#!launcher\n", "mainclass A\n"),
                                  "no zip archive"};
    for (const std::string& body : bodies) {
        auto keyIn = [&](const char* image, bool byContent) {
            dir.mkdir(image);
            std::string jar = dir.write(std::string(image) + "/a.jar", body);
            setTime(jar, 1600000000);
            std::string root = dir.path(image);
            cacheKey key;
            if (byContent) {
                key.identifyByContent();
            }
            key.setImageRoot(root.c_str());
            key.addFileState(jar.c_str());
            return key.getValue();
        };
        EXPECT_EQ(keyIn("one", true), keyIn("two", true)) << body;
        EXPECT_NE(keyIn("one", false), keyIn("two", false)) << body;
    }
    for (bool zip64 : {false, true}) {
        std::string bundle = dir.write("b", zipWith(7, "#!launcher\n", "mainclass A\n", zip64));
        setTime(bundle, 1600000000);
        uint64_t before = stateOf(bundle, true);
        dir.write("b", zipWith(8, "#!launcher\n", "mainclass A\n", zip64));
        setTime(bundle, 1600000000);
        EXPECT_NE(before, stateOf(bundle, true))
            << "a bundle's archive after its launcher, " << (zip64 ? "ZIP64" : "plain");
    }
}

TEST(CacheKey, ClassPathBootPathAndOptionsGoIn) {
    scratchDir dir;
    std::string jar = dir.write("a.jar", "x");
    jniVmUnix plain;
    plain.addPath(createStringCopy(jar.c_str()));
    uint64_t base = keyOf(plain);

    jniVmUnix same;
    same.addPath(createStringCopy(jar.c_str()));
    EXPECT_EQ(base, keyOf(same));

    jniVmUnix boot;
    boot.addBootPath(createStringCopy(jar.c_str()));
    EXPECT_NE(base, keyOf(boot)) << "a boot path entry is not a class path entry";

    const char* options[] = {"-XX:+UseSerialGC",       "-Xmx40g",     "--add-modules=java.sql",
                             "-XX:-UseCompressedOops", "-XX:+UseZGC", "-XX:+AlwaysPreTouch"};
    for (const char* option : options) {
        jniVmUnix changed;
        changed.addPath(createStringCopy(jar.c_str()));
        changed.addVmOption(createStringCopy(option));
        EXPECT_NE(base, keyOf(changed)) << option;
    }
}

TEST(CacheKey, PropertiesLogsAndHeapSizesStayOut) {
    jniVmUnix plain;
    plain.addVmOption(createStringCopy("-Dk=v"));
    uint64_t base = keyOf(plain);
    // The G1 default stays G1 when named; the heap stays within reach of
    // compressed oops.
    const char* options[] = {"-Dlarkwin.exportenv=/tmp/larkwin-envdump-Ab12Cd",
                             "-Xlog:class+load=info:file=/tmp/load.txt",
                             "-verbose:class",
                             "-Dlarkwin.copyenv.SESSION=42",
                             "-Xmx1g",
                             "-Xms512m",
                             "-Xss2m",
                             "-XX:MaxHeapSize=2g",
                             "-XX:+UseG1GC",
                             "-XX:+ExitOnOutOfMemoryError",
                             "-XX:ActiveProcessorCount=4"};
    for (const char* option : options) {
        EXPECT_FALSE(isKeyOption(option)) << option;
        jniVmUnix more;
        more.addVmOption(createStringCopy(option));
        more.addVmOption(createStringCopy("-Dk=v"));
        EXPECT_EQ(base, keyOf(more)) << option;
    }
    EXPECT_TRUE(isKeyOption("--add-opens=java.base/java.lang=ALL-UNNAMED"));
    EXPECT_TRUE(isKeyOption("-XX:+UseCompressedClassPointers"));
    EXPECT_TRUE(isKeyOption("-ea"));
}

TEST(CacheKey, ModulePathEntriesGoInWithTheirState) {
    scratchDir dir;
    std::string module = dir.write("m.jar", "x");
    setTime(module, 1600000000);
    auto keyWith = [&](const char* first, const char* second) {
        jniVmUnix vm;
        vm.addVmOption(createStringCopy(first));
        if (second != nullptr) {
            vm.addVmOption(createStringCopy(second));
        }
        return keyOf(vm);
    };
    std::string joined = "--module-path=" + module;
    uint64_t separate = keyWith("-p", module.c_str());
    uint64_t together = keyWith(joined.c_str(), nullptr);
    setTime(module, 1600000002);
    EXPECT_NE(separate, keyWith("-p", module.c_str()));
    EXPECT_NE(together, keyWith(joined.c_str(), nullptr));
}

TEST(CacheKey, JvmOptionVariablesGoIn) {
    jniVmUnix vm;
    uint64_t base;
    {
        environmentVariable tool("JAVA_TOOL_OPTIONS", nullptr);
        environmentVariable jdk("JDK_JAVA_OPTIONS", nullptr);
        base = keyOf(vm);
    }
    environmentVariable tool("JAVA_TOOL_OPTIONS", nullptr);
    environmentVariable jdk("JDK_JAVA_OPTIONS", "-XX:+UseSerialGC");
    EXPECT_NE(base, keyOf(vm));
    environmentVariable java("_JAVA_OPTIONS", "-XX:+UseG1GC -Dper.start=1");
    EXPECT_EQ(base, keyOf(vm)) << "the last collector named counts; properties stay out";
}

// An image moved (mv keeps the files' times) keeps the key of its paths; a
// path outside the image, or one that only begins with the same letters,
// keeps its own.
TEST(CacheKey, PathsInAnImageAreAddedRelativeToIt) {
    scratchDir dir;
    for (const char* image : {"one", "two", "one-more"}) {
        dir.mkdir(image);
        dir.mkdir(std::string(image) + "/lib");
        std::string jar = dir.write(std::string(image) + "/lib/a.jar", "1234");
        setTime(jar, 1600000000);
    }
    auto keyIn = [&](const char* root, const char* jarImage) {
        std::string rootPath = dir.path(root);
        std::string jar = dir.path(std::string(jarImage) + "/lib/a.jar");
        cacheKey key;
        key.identifyByContent();
        key.setImageRoot(rootPath.c_str());
        key.addFileState(jar.c_str());
        key.addPath((rootPath + "/runtime").c_str());
        return key.getValue();
    };
    EXPECT_EQ(keyIn("one", "one"), keyIn("two", "two"));
    EXPECT_NE(keyIn("one", "one"), keyIn("one", "two"));
    EXPECT_NE(keyIn("one", "one"), keyIn("one", "one-more"));
    cacheKey absolute;
    absolute.identifyByContent();
    absolute.addFileState(dir.path("one/lib/a.jar").c_str());
    absolute.addPath(dir.path("one/runtime").c_str());
    EXPECT_NE(keyIn("one", "one"), absolute.getValue()) << "no root: the paths as they are";
}
