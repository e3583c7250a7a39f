#include "config/configFile.h"
#include "config/platformDirectives.h"
#include "process/jniVmUnix.h"
#include "testSupport.h"
#include "util/strings.h"

#include <gtest/gtest.h>

namespace {
// Parses text as the configuration dir/app.config.
void parse(const scratchDir& dir, jniVmUnix& vm, const char* text) {
    configFile file(createStringCopy(dir.path("app.config").c_str()), &vm, createStringCopy(text));
    file.parse();
}
} // namespace

TEST(StartupCacheDirective, ResolvesItsDirectoryLikeOtherPaths) {
    scratchDir dir;
    jniVmUnix vm;
    EXPECT_EQ(0, vm.useStartupCache);
    parse(dir, vm, "startupcache cache/here\n");
    EXPECT_EQ(1, vm.useStartupCache);
    EXPECT_EQ(dir.path("cache/here"), vm.startupCacheDir);
    parse(dir, vm, "startupcache /abs\n");
    EXPECT_STREQ("/abs", vm.startupCacheDir);
}

TEST(StartupCacheDirective, WithoutADirectoryTakesTheUsersCache) {
    scratchDir dir;
    jniVmUnix vm;
    {
        environmentVariable xdg("XDG_CACHE_HOME", "/x/cache");
        parse(dir, vm, "startupcache\n");
        EXPECT_STREQ("/x/cache/larkwin", vm.startupCacheDir);
    }
    environmentVariable xdg("XDG_CACHE_HOME", nullptr);
    {
        environmentVariable home("HOME", "/home/u");
        parse(dir, vm, "startupcache\n");
        EXPECT_STREQ("/home/u/.cache/larkwin", vm.startupCacheDir);
    }
    environmentVariable home("HOME", nullptr);
    parse(dir, vm, "startupcache\n");
    EXPECT_EQ(1, vm.useStartupCache);
    EXPECT_EQ(nullptr, vm.startupCacheDir) << "off, and +DEBUG says why";
}

TEST(StartupCacheDirective, UnderSystemdTakesTheServicesCacheDirectory) {
    scratchDir dir;
    jniVmUnix vm;
    environmentVariable xdg("XDG_CACHE_HOME", "/x/cache");
    {
        environmentVariable service("CACHE_DIRECTORY", "/var/cache/orders:/var/cache/other");
        parse(dir, vm, "startupcache\n");
        EXPECT_STREQ("/var/cache/orders", vm.startupCacheDir);
        parse(dir, vm, "startupcache given\n");
        EXPECT_EQ(dir.path("given"), vm.startupCacheDir) << "a directory given wins";
    }
    environmentVariable relative("CACHE_DIRECTORY", "var/cache/orders");
    parse(dir, vm, "startupcache\n");
    EXPECT_STREQ("/x/cache/larkwin", vm.startupCacheDir) << "not an absolute path: unset";
}

TEST(CrashDirDirective, GivenOrTheServicesOrTheUsersStateDirectory) {
    scratchDir dir;
    jniVmUnix vm;
    EXPECT_EQ(nullptr, vm.crashDirectory);
    parse(dir, vm, "crashdir crashes\n");
    EXPECT_EQ(dir.path("crashes"), vm.crashDirectory);
    {
        environmentVariable state("STATE_DIRECTORY", "/var/lib/orders:/var/lib/more");
        parse(dir, vm, "crashdir\n");
        EXPECT_STREQ("/var/lib/orders/crash", vm.crashDirectory);
    }
    ownedString user(createDefaultCrashDirectory(nullptr, "/s", "/home/u", "orders"));
    EXPECT_STREQ("/s/orders/crash", user.get());
    ownedString home(createDefaultCrashDirectory("relative", "", "/home/u", "orders"));
    EXPECT_STREQ("/home/u/.local/state/orders/crash", home.get());
    EXPECT_EQ(nullptr, createDefaultCrashDirectory(nullptr, nullptr, nullptr, "orders"));
}
