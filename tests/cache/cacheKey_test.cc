#include "cache/cacheKey.h"
#include "cache/vmShape.h"
#include "process/jniVmUnix.h"
#include "testSupport.h"
#include "util/strings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
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

TEST(CacheKey, FileStateIsSizeAndTimeNotContent) {
    scratchDir dir;
    std::string jar = dir.write("a.jar", "1234");
    auto stateOf = [&] {
        cacheKey key;
        key.addFileState(jar.c_str());
        return key.getValue();
    };
    setTime(jar, 1600000000);
    uint64_t original = stateOf();
    dir.write("a.jar", "5678");
    setTime(jar, 1600000000);
    EXPECT_EQ(original, stateOf()) << "same size and time: the JVM accepts it too";
    setTime(jar, 1600000001);
    EXPECT_NE(original, stateOf());
    dir.write("a.jar", "12345");
    setTime(jar, 1600000000);
    EXPECT_NE(original, stateOf());
    unlink(jar.c_str());
    EXPECT_NE(original, stateOf());
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
        key.setImageRoot(rootPath.c_str());
        key.addFileState(jar.c_str());
        key.addPath((rootPath + "/runtime").c_str());
        return key.getValue();
    };
    EXPECT_EQ(keyIn("one", "one"), keyIn("two", "two"));
    EXPECT_NE(keyIn("one", "one"), keyIn("one", "two"));
    EXPECT_NE(keyIn("one", "one"), keyIn("one", "one-more"));
    cacheKey absolute;
    absolute.addFileState(dir.path("one/lib/a.jar").c_str());
    absolute.addPath(dir.path("one/runtime").c_str());
    EXPECT_NE(keyIn("one", "one"), absolute.getValue()) << "no root: the paths as they are";
}
