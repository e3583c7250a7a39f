#include "pack/tools/jdkTools.h"

#include "testSupport.h"
#include "unix/replacedEnvironment.h"
#include "util/stringArray.h"

#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

static std::string moduleList(const std::string& printed, const char* extra = nullptr) {
    ownedString list(createJdepsModuleList(printed.data(), (int)printed.size(), extra));
    return list.get();
}

TEST(JdepsModuleList, IsTheLastLineOfModuleNames) {
    EXPECT_EQ("java.base", moduleList("java.base\n"));
    EXPECT_EQ("java.base,java.logging", moduleList("java.base,java.logging"));
    EXPECT_EQ("java.base,java.desktop",
              moduleList("Warning: split package: java.awt jrt:/java.desktop x.jar\n"
                         "java.base,java.desktop\r\n"));
    EXPECT_EQ("java.base,jdk.unsupported,java.sql",
              moduleList("java.base,jdk.unsupported\n", "java.sql"));
    EXPECT_EQ("java.base", moduleList("java.base\n", ""));
}

TEST(JdepsModuleList, OutputWithoutAListIsAFailure) {
    for (std::string printed : {"", "\n\n", "Warning: something happened\n"}) {
        EXPECT_EQ("jdeps printed no list of modules", thrownMessage([&] { moduleList(printed); }))
            << printed;
    }
}

TEST(JdkHome, JavaHomeMustHoldJlink) {
    scratchDir dir;
    std::string runtime = dir.mkdir("jre");
    replacedEnvironment environment({"JAVA_HOME=" + runtime, "PATH=/nonexistent"});
    EXPECT_EQ("'" + runtime + "' has no bin/jlink: name a JDK by JAVA_HOME",
              thrownMessage([] { ownedString home(createJdkHome()); }));
    dir.mkdir("jre/bin");
    dir.write("jre/bin/jlink", "");
    ownedString home(createJdkHome());
    EXPECT_EQ(runtime, home.get());
}

TEST(JdkHome, WithoutJavaHomeTheJavaOnThePathLeadsToItsJdk) {
    scratchDir dir;
    dir.mkdir("jdk");
    dir.mkdir("jdk/bin");
    dir.write("jdk/bin/jlink", "");
    std::string java = dir.write("jdk/bin/java", "");
    chmod(java.c_str(), 0755);
    dir.mkdir("links");
    symlink(java.c_str(), dir.path("links/java").c_str());
    {
        // An empty JAVA_HOME counts as unset.
        replacedEnvironment environment({"JAVA_HOME=", "PATH=" + dir.path("links")});
        ownedString home(createJdkHome());
        EXPECT_EQ(dir.path("jdk"), home.get());
    }
    replacedEnvironment environment({"PATH=/nonexistent"});
    EXPECT_EQ("no JDK found: set JAVA_HOME or put a JDK's java on the PATH",
              thrownMessage([] { ownedString home(createJdkHome()); }));
}

static std::string implied(const char* modules, const char* available) {
    ownedString list(createImpliedModules(modules, available));
    return list.get();
}

TEST(ImpliedModules, ServiceAndReflectionModulesFollowTheModulesThatReachThem) {
    const char* jdk17 = "java.base java.compiler java.management java.naming jdk.charsets "
                        "jdk.compiler jdk.crypto.ec jdk.localedata jdk.management "
                        "jdk.naming.dns jdk.zipfs";
    EXPECT_EQ("java.base,jdk.zipfs,jdk.charsets,jdk.localedata,jdk.crypto.ec",
              implied("java.base", jdk17));
    EXPECT_EQ("java.base,java.compiler,java.naming,jdk.zipfs,jdk.charsets,jdk.localedata,"
              "jdk.crypto.ec,jdk.compiler,jdk.naming.dns",
              implied("java.base,java.compiler,java.naming", jdk17));
    // Modules already listed or absent from the JDK (jdk.crypto.ec is gone
    // from recent ones) are not added; names must match whole.
    EXPECT_EQ("java.base,jdk.zipfs,jdk.compiler,java.compilerx,jdk.charsets",
              implied("java.base,jdk.zipfs,jdk.compiler,java.compilerx",
                      "java.base jdk.zipfs jdk.charsets jdk.compiler"));
}

// A stand-in JDK whose jdeps finds java.base in any jars: the modules named
// on the command line bring their companions as found ones do, and an
// excluded module stays out whoever names it.
TEST(ModuleList, NamedModulesBringTheirCompanions) {
    scratchDir dir;
    dir.mkdir("jdk");
    dir.mkdir("jdk/bin");
    dir.write("jdk/release", "JAVA_VERSION=\"17.0.2\"\nMODULES=\"java.base java.compiler "
                             "java.naming jdk.compiler jdk.naming.dns jdk.zipfs\"\n");
    dir.write("jdk/bin/jdeps", "#!/bin/sh\necho java.base\n");
    ASSERT_EQ(0, chmod(dir.path("jdk/bin/jdeps").c_str(), 0755));
    stringArray jars;
    struct {
        const char* extra;
        const char* excluded;
        const char* list;
    } cases[] = {
        {nullptr, nullptr, "java.base,jdk.zipfs"},
        {"java.compiler", nullptr, "java.base,java.compiler,jdk.zipfs,jdk.compiler"},
        {"java.naming,java.compiler", "jdk.compiler",
         "java.base,java.naming,java.compiler,jdk.zipfs,jdk.naming.dns"},
        // Empty names in either list are no modules.
        {",java.naming,,", ",", "java.base,java.naming,jdk.zipfs,jdk.naming.dns"},
        {nullptr, "java.base", "jdk.zipfs"},
    };
    for (const auto& test : cases) {
        ownedString list(createModuleList(dir.path("jdk").c_str(), jars, test.extra, test.excluded,
                                          dir.path("scratch.jar").c_str(), nullptr));
        EXPECT_EQ(test.list, std::string(list.get())) << (test.extra ? test.extra : "");
    }
}
