#include "pack/zip/launchAttributes.h"

#include "testSupport.h"

#include <gtest/gtest.h>
#include <string>

namespace {

std::string linesOf(const std::string& manifest) {
    std::string result;
    std::string failure = thrownMessage([&] {
        char* lines = createLaunchLinesOf("app.jar", manifest.data(), (long)manifest.size());
        result = lines;
        delete[] lines;
    });
    return failure.empty() ? result : failure;
}

TEST(LaunchAttributes, JavaJarAttributesBecomeVmOptions) {
    EXPECT_EQ("addopens java.base/java.lang java.base/java.util\n"
              "addexports jdk.compiler/com.sun.tools.javac.api\n"
              "vmparam --enable-native-access=ALL-UNNAMED\n",
              linesOf("Manifest-Version: 1.0\r\nAdd-Opens: java.base/java.lang java.base/ja\r\n"
                      " va.util\r\nEnable-Native-Access: ALL-UNNAMED\r\n"
                      "Add-Exports: jdk.compiler/com.sun.tools.javac.api\r\n\r\n"));
    EXPECT_EQ("", linesOf("Manifest-Version: 1.0\r\nMain-Class: a.B\r\n\r\n"));
    // Blanks alone name nothing; runs of them are one separator.
    EXPECT_EQ("addexports a/b c/d\n", linesOf("Add-Opens:  \r\nAdd-Exports: a/b  c/d \r\n\r\n"));
}

TEST(LaunchAttributes, WhatTheLauncherCannotDoIsRefused) {
    EXPECT_EQ("'app.jar' names a Launcher-Agent-Class, an agent that only java -jar starts; the "
              "launcher runs its class path and cannot start it",
              linesOf("Launcher-Agent-Class: a.Agent\n"));
    EXPECT_EQ("'app.jar' has a manifest attribute that is not a list of module/package names",
              linesOf("Add-Opens: java.base/java.lang=ALL-UNNAMED,--x\n"));
}

} // namespace
