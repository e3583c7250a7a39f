#include "runtime/runtimeImage.h"
#include "testSupport.h"

#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const jdk17 = "/usr/lib/jvm/java-17-openjdk-amd64";
const char* const jdk25 = "/usr/lib/jvm/temurin-25-jdk-amd64";

struct packageRow {
    const char* module;
    const char* package;
    packageAnswer in17;
    packageAnswer in25;
};

// What both runtimes' module descriptors say, and where they differ: Java 25
// dropped sun.security.action. A folder that only holds other packages'
// folders ("com" in java.base, "java.lang" in java.instrument) is no package
// of its module, and the aggregator java.se has none at all.
const packageRow packageRows[] = {
    {"java.base", "java.lang", packageFound, packageFound},
    {"java.desktop", "javax.imageio.spi", packageFound, packageFound},
    {"java.desktop", "com.apple.eawt", packageMissing, packageMissing},
    {"jdk.deploy", "com.sun.deploy.config", moduleMissing, moduleMissing},
    {"java.base", "com", packageMissing, packageMissing},
    {"java.instrument", "java.lang", packageMissing, packageMissing},
    {"java.se", "java.lang", packageMissing, packageMissing},
    {"java.base", "sun.security.action", packageFound, packageMissing},
    {"java.base", "java.lang.", packageMissing, packageMissing},
    {"java.bas", "java.lang", moduleMissing, moduleMissing},
};

TEST(RuntimeImage, AnswersAsTheModuleDescriptorsOfRealRuntimes) {
    int checked = 0;
    for (const char* home : {jdk17, jdk25}) {
        if (access((std::string(home) + "/lib/modules").c_str(), R_OK) != 0) {
            continue;
        }
        runtimeImage image(home);
        ASSERT_TRUE(image.isReadable()) << home;
        for (const packageRow& row : packageRows) {
            EXPECT_EQ(home == jdk17 ? row.in17 : row.in25,
                      image.findPackage(row.module, row.package))
                << home << ": " << row.module << "/" << row.package;
        }
        checked++;
    }
    if (checked == 0) {
        GTEST_SKIP() << "neither " << jdk17 << " nor " << jdk25 << " is installed";
    }
}

// The first bytes of a real image, then garbage, or nothing at all: none is
// read as an image, and no question reads past what the file holds.
TEST(RuntimeImage, WhatIsNoImageIsUnreadable) {
    std::string header;
    std::ifstream real(std::string(jdk17) + "/lib/modules", std::ios::binary);
    if (!real) {
        GTEST_SKIP() << jdk17 << " is not installed";
    }
    header.resize(65536);
    real.read(&header[0], (std::streamsize)header.size());
    std::string otherMagic = header;
    otherMagic[0] = 0;
    std::string otherVersion = header;
    otherVersion[6] = 2;
    std::string noTable = header;
    noTable.replace(16, 4, std::string(4, '\0'));
    std::string hugeTable = header;
    hugeTable.replace(16, 4, std::string(4, '\x7f'));
    for (const std::string& content : {header, otherMagic, otherVersion, noTable, hugeTable,
                                       header.substr(0, 20), std::string()}) {
        scratchDir dir;
        dir.mkdir("lib");
        dir.write("lib/modules", content);
        runtimeImage image(dir.root.c_str());
        EXPECT_TRUE(image.exists());
        EXPECT_FALSE(image.isReadable());
        EXPECT_EQ(imageUnreadable, image.findPackage("java.base", "java.lang"));
    }
}

// An image cut right after its index: the tables answer for the modules,
// and a package's list, which lies beyond the end, is not read.
TEST(RuntimeImage, ContentBeyondTheEndIsNotRead) {
    std::ifstream real(std::string(jdk17) + "/lib/modules", std::ios::binary);
    if (!real) {
        GTEST_SKIP() << jdk17 << " is not installed";
    }
    unsigned words[7];
    real.read(reinterpret_cast<char*>(words), sizeof words);
    std::string index(28 + 8ULL * words[4] + words[5] + words[6], '\0');
    real.seekg(0);
    real.read(&index[0], (std::streamsize)index.size());
    scratchDir dir;
    dir.mkdir("lib");
    dir.write("lib/modules", index);
    runtimeImage image(dir.root.c_str());
    EXPECT_TRUE(image.isReadable());
    EXPECT_EQ(moduleMissing, image.findPackage("jdk.deploy", "com.sun.deploy.config"));
    EXPECT_EQ(packageMissing, image.findPackage("java.desktop", "com.apple.eawt"));
    EXPECT_EQ(imageUnreadable, image.findPackage("java.base", "java.lang"));
}

TEST(RuntimeImage, AFolderOrNothingIsNoImage) {
    scratchDir dir;
    runtimeImage none(dir.root.c_str());
    EXPECT_FALSE(none.exists());
    EXPECT_EQ(imageUnreadable, none.findPackage("java.base", "java.lang"));
    runtimeImage noHome(nullptr);
    EXPECT_FALSE(noHome.exists());
    dir.mkdir("lib");
    dir.mkdir("lib/modules");
    runtimeImage folder(dir.root.c_str());
    EXPECT_TRUE(folder.exists());
    EXPECT_FALSE(folder.isReadable());
}

} // namespace
