#include "cache/vmShape.h"
#include "testSupport.h"
#include "util/strings.h"

#include <gtest/gtest.h>
#include <initializer_list>

namespace {
const machineSize server = {2, 8ull << 30};
const machineSize small = {1, 8ull << 30};

std::string shapeOf(std::initializer_list<const char*> options, int version = 17,
                    machineSize machine = server) {
    stringArray list;
    for (const char* option : options) {
        list.append(createStringCopy(option));
    }
    vmShape shape(list, version, machine);
    ownedString description(shape.createDescription());
    ownedString base(shape.createBaseArchiveName());
    return std::string(description.get()) + " " + base.get();
}

// A runtime home holding only the base archives named.
std::string homeWith(const scratchDir& dir, std::initializer_list<const char*> archives) {
    dir.mkdir("jdk");
    dir.mkdir("jdk/lib");
    dir.mkdir("jdk/lib/server");
    for (const char* archive : archives) {
        dir.write(std::string("jdk/lib/server/") + archive, "base");
    }
    return dir.path("jdk");
}

std::string refusalOf(const std::string& home, std::initializer_list<const char*> options,
                      int version = 17) {
    stringArray list;
    for (const char* option : options) {
        list.append(createStringCopy(option));
    }
    vmShape shape(list, version, server);
    ownedString refusal(shape.createBaseArchiveRefusal(home.c_str()));
    return refusal ? refusal.get() : "";
}
} // namespace

TEST(VmShape, TheDefaultCollectorFollowsProcessorsAndMemory) {
    EXPECT_EQ("coops ccp 8 noncoh G1 classes.jsa", shapeOf({}));
    EXPECT_EQ("coops ccp 8 noncoh Serial classes.jsa", shapeOf({}, 17, small));
    EXPECT_EQ("coops ccp 8 noncoh Serial classes.jsa", shapeOf({}, 17, {4, 1ull << 30}));
    EXPECT_EQ("coops ccp 8 noncoh G1 classes.jsa",
              shapeOf({"-XX:ActiveProcessorCount=2"}, 17, small));
    EXPECT_EQ("coops ccp 8 noncoh Parallel classes.jsa", shapeOf({"-XX:+UseParallelGC"}));
    EXPECT_EQ("coops ccp 8 noncoh G1 classes.jsa",
              shapeOf({"-XX:+UseSerialGC", "-XX:-UseSerialGC"}));
}

TEST(VmShape, CompressedOopsGoWithZgcABigHeapOrTheirOption) {
    EXPECT_EQ("nocoops ccp 8 noncoh Z classes_nocoops.jsa", shapeOf({"-XX:+UseZGC"}));
    EXPECT_EQ("nocoops ccp 8 noncoh G1 classes_nocoops.jsa", shapeOf({"-Xmx40g"}));
    EXPECT_EQ("nocoops ccp 8 noncoh G1 classes_nocoops.jsa", shapeOf({"-XX:MaxHeapSize=32g"}));
    EXPECT_EQ("coops ccp 8 noncoh G1 classes.jsa", shapeOf({"-Xmx31g"}));
    EXPECT_EQ("nocoops ccp 8 noncoh G1 classes_nocoops.jsa", shapeOf({"-XX:-UseCompressedOops"}));
    EXPECT_EQ("nocoops ccp 8 noncoh G1 classes_nocoops.jsa",
              shapeOf({"-XX:MaxRAM=128g", "-XX:MaxRAMPercentage=100"}));
    EXPECT_EQ("coops ccp 8 noncoh G1 classes.jsa", shapeOf({"-XX:MaxRAMPercentage=75"}));
    EXPECT_EQ("nocoops ccp 8 noncoh G1 classes_nocoops.jsa",
              shapeOf({"-XX:MaxRAMPercentage=75"}, 17, {2, 64ull << 30}));
}

TEST(VmShape, CompactHeadersCountFromJava24) {
    EXPECT_EQ("coops ccp 8 coh G1 classes_coh.jsa", shapeOf({"-XX:+UseCompactObjectHeaders"}, 25));
    EXPECT_EQ("nocoops ccp 8 coh Z classes_nocoops_coh.jsa",
              shapeOf({"-XX:+UseCompactObjectHeaders", "-XX:+UseZGC"}, 25));
    EXPECT_EQ("coops ccp 8 noncoh G1 classes.jsa", shapeOf({"-XX:+UseCompactObjectHeaders"}, 17));
}

TEST(VmShape, TheBaseArchiveMustLoad) {
    scratchDir dir;
    std::string onlyPlain = homeWith(dir, {"classes.jsa"});
    EXPECT_EQ("", refusalOf(onlyPlain, {"-Xmx1g"}));
    EXPECT_NE("", refusalOf(onlyPlain, {"-Xmx40g"})) << "an image with classes.jsa only";
    EXPECT_NE("", refusalOf(onlyPlain, {"-XX:+UseZGC"}));
    EXPECT_NE("", refusalOf(onlyPlain, {"-XX:+UseCompactObjectHeaders"}, 25));
    EXPECT_NE("", refusalOf(onlyPlain, {"-XX:-UseCompressedClassPointers"}));
    EXPECT_NE("", refusalOf(onlyPlain, {"-XX:ObjectAlignmentInBytes=16"}));
    EXPECT_EQ("", refusalOf(onlyPlain,
                            {"-XX:ObjectAlignmentInBytes=16", "-XX:ObjectAlignmentInBytes=8"}));
    EXPECT_NE("", refusalOf(onlyPlain, {"-Xmx32704m"})) << "too close to 32 GiB to tell";
    scratchDir both;
    std::string full = homeWith(both, {"classes.jsa", "classes_nocoops.jsa"});
    EXPECT_EQ("", refusalOf(full, {"-XX:+UseZGC"}));
    EXPECT_EQ("", refusalOf(full, {"-Xmx40g"}));
}

TEST(VmShape, OptionVariablesAreReadInTheJvmsOrder) {
    environmentVariable tool("JAVA_TOOL_OPTIONS", "-XX:+UseSerialGC  -Xmx1g");
    environmentVariable jdk("JDK_JAVA_OPTIONS", nullptr);
    environmentVariable last("_JAVA_OPTIONS", "-XX:+UseZGC");
    stringArray line;
    line.append(createStringCopy("-XX:+UseParallelGC"));
    stringArray all;
    collectVmOptions(all, line);
    EXPECT_EQ("-XX:+UseSerialGC|-Xmx1g|-XX:+UseParallelGC|-XX:+UseZGC", joined(all));
}

TEST(VmShape, MemorySizesParseAsTheJvmWritesThem) {
    EXPECT_EQ(1ull << 30, parseMemorySize("1g"));
    EXPECT_EQ(1ull << 30, parseMemorySize("1G"));
    EXPECT_EQ(512ull << 20, parseMemorySize("512m"));
    EXPECT_EQ(4096ull, parseMemorySize("4k"));
    EXPECT_EQ(123ull, parseMemorySize("123"));
    EXPECT_EQ(0ull, parseMemorySize("12x"));
    EXPECT_EQ(0ull, parseMemorySize("1gb"));
    EXPECT_EQ(0ull, parseMemorySize("-1g"));
    EXPECT_EQ(~0ull, parseMemorySize("99999999999999999t"));
}

TEST(MachineSize, CgroupLimitsCutWhatTheMachineHas) {
    machineSize size = {8, 16ull << 30};
    applyCpuMax(size, "max 100000\n");
    EXPECT_EQ(8, size.processors);
    applyCpuMax(size, "150000 100000\n");
    EXPECT_EQ(2, size.processors);
    applyMemoryMax(size, "max\n");
    EXPECT_EQ(16ull << 30, size.memory);
    applyMemoryMax(size, "1073741824\n");
    EXPECT_EQ(1ull << 30, size.memory);
    applyCpuMax(size, "");
    applyMemoryMax(size, "");
    EXPECT_EQ(2, size.processors);
    machineSize here = readMachineSize();
    EXPECT_GE(here.processors, 1);
    EXPECT_GT(here.memory, 0ull);
}
