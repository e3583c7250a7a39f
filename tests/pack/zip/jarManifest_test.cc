#include "pack/zip/jarManifest.h"

#include <gtest/gtest.h>
#include <string>

namespace {

std::string attribute(const std::string& manifest, const char* name) {
    char* value = createMainAttribute(manifest.data(), (long)manifest.size(), name);
    std::string result = value != nullptr ? value : "(none)";
    delete[] value;
    return result;
}

std::string edited(const std::string& manifest, const char* removed, const char* added) {
    long length = 0;
    char* text =
        createEditedManifest(manifest.data(), (long)manifest.size(), removed, added, &length);
    std::string result(text, length);
    delete[] text;
    return result;
}

const std::string wrapped = "Manifest-Version: 1.0\r\n"
                            "Class-Path: a.jar b\r\n"
                            "  c.jar\r\n"
                            "Main-Class: org.demo.Main\r\n"
                            "\r\n"
                            "Name: org/demo/\r\n"
                            "Class-Path: section.jar\r\n"
                            "\r\n";

TEST(JarManifest, MainAttributesJoinTheirContinuationLinesAndIgnoreCase) {
    EXPECT_EQ("a.jar b c.jar", attribute(wrapped, "Class-Path"));
    EXPECT_EQ("a.jar b c.jar", attribute(wrapped, "class-path"));
    EXPECT_EQ("org.demo.Main", attribute(wrapped, "Main-Class"));
    // Attributes of later sections and prefixes of names do not count.
    EXPECT_EQ("(none)", attribute(wrapped, "Name"));
    EXPECT_EQ("(none)", attribute(wrapped, "Main"));
    EXPECT_EQ("x", attribute("Main-Class: x", "Main-Class"));
    EXPECT_EQ("x", attribute("A: 1\nMain-Class: x\n", "Main-Class"));
    EXPECT_EQ("x", attribute("A: 1\rMain-Class: x\r", "Main-Class"));
}

TEST(JarManifest, MultiReleaseIsTrueInAnyCaseOnlyInTheMainSection) {
    std::string yes = "Manifest-Version: 1.0\nMulti-Release: TRUE\n\n";
    std::string no = "Manifest-Version: 1.0\n\nName: x\nMulti-Release: true\n";
    EXPECT_TRUE(isMultiRelease(yes.data(), (long)yes.size()));
    EXPECT_FALSE(isMultiRelease(no.data(), (long)no.size()));
}

TEST(JarManifest, AnEditRemovesTheWholeAttributeAndAddsAtTheMainSectionsEnd) {
    EXPECT_EQ("Manifest-Version: 1.0\r\n"
              "Main-Class: org.demo.Main\r\n"
              "Multi-Release: true\r\n"
              "\r\n"
              "Name: org/demo/\r\n"
              "Class-Path: section.jar\r\n"
              "\r\n",
              edited(wrapped, "Class-Path", "Multi-Release: true"));
    EXPECT_EQ("Main-Class: x\r\nMulti-Release: true\r\n\r\n",
              edited("Main-Class: x", nullptr, "Multi-Release: true"));
    EXPECT_EQ("A: 1\n", edited("A: 1\nClass-Path: x\n", "Class-Path", nullptr));
}

} // namespace
