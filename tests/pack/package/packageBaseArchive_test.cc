#include "pack/deb/debianScripts.h"
#include "pack/package/packageBaseArchive.h"
#include "pack/package/packageRequest.h"
#include "pack/rpm/rpmPackage.h"
#include "pack/rpm/rpmScripts.h"
#include "testSupport.h"
#include "util/stringArray.h"

#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

namespace {
// root/opt/orders/runtime of the given version, with its base archive.
std::string stageRuntime(const scratchDir& scratch, const char* version) {
    const char* folders[] = {"opt", "opt/orders", "opt/orders/runtime", "opt/orders/runtime/lib",
                             "opt/orders/runtime/lib/server"};
    for (const char* folder : folders) {
        scratch.mkdir(folder);
    }
    scratch.write("opt/orders/runtime/release", std::string("JAVA_VERSION=\"") + version + "\"\n");
    return scratch.write("opt/orders/runtime/lib/server/classes.jsa", "archive");
}

bool exists(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0;
}

// The script named name among a format's scripts, which without --service
// holds the base archive's lines alone; "" when it has none.
std::string archiveScript(const packageRequest& request, const maintainerScript* scripts,
                          const char* name) {
    for (const auto& script : createMaintainerScripts(request, scripts)) {
        if (std::string(script.first) == name) {
            return script.second;
        }
    }
    return "";
}
} // namespace

// Only a reproducible package of a runtime whose dump differs each time
// leaves its archive to the install scripts.
TEST(PackageBaseArchiveTest, MovedOnlyWithTheEpochBeforeJava25) {
    struct {
        const char* epoch;
        const char* version;
        bool moved;
    } cases[] = {{nullptr, "17.0.2", false},
                 {"1700000000", "17.0.2", true},
                 {"1700000000", "25.0.3", false},
                 {"1700000000", "1.8.0_392", true}};
    for (const auto& c : cases) {
        scratchDir scratch;
        std::string archive = stageRuntime(scratch, c.version);
        environmentVariable epoch("SOURCE_DATE_EPOCH", c.epoch);
        packageRequest request;
        request.name = "orders";
        EXPECT_EQ(c.moved, moveBaseArchiveToInstall(request, scratch.root.c_str())) << c.version;
        EXPECT_EQ(!c.moved, exists(archive)) << c.version;
    }
}

TEST(PackageBaseArchiveTest, ScriptsMakeAndRemoveTheArchiveOnlyWhenMoved) {
    packageRequest request;
    request.name = "orders";
    EXPECT_TRUE(createMaintainerScripts(request, debianScripts).empty());
    request.baseArchiveAtInstall = true;
    std::string postinst = archiveScript(request, debianScripts, "postinst");
    EXPECT_EQ(0u, postinst.find("if [ \"$1\" = configure ]; then\n    "
                                "/opt/orders/runtime/bin/java -Xshare:dump >/dev/null 2>&1 || "))
        << postinst;
    EXPECT_EQ("rm -f /opt/orders/runtime/lib/server/classes.jsa\n",
              archiveScript(request, debianScripts, "prerm"));
    EXPECT_EQ("", archiveScript(request, debianScripts, "postrm"));
    // rpm runs the new package's %post before the old one's %preun.
    std::string preun = archiveScript(request, rpmScripts, "%preun");
    EXPECT_EQ(0u, preun.find("if [ \"$1\" -eq 0 ]; then\n")) << preun;
    EXPECT_EQ(std::string::npos, archiveScript(request, rpmScripts, "%post").find('%'));
}

// With a service too, each section is written once and holds both parts.
TEST(PackageBaseArchiveTest, JoinsTheServicesScriptsInOneSectionEach) {
    packageRequest request;
    request.name = "orders";
    request.description = "Takes orders";
    request.image.service = serviceRequest();
    request.baseArchiveAtInstall = true;
    stringArray files;
    files.append(createStringCopy("/opt/orders"));
    stringArray libraries;
    ownedString made(createRpmRecipe(request, "/tmp/root", files, libraries));
    std::string recipe = made.get();
    size_t post = recipe.find("\n%post\n");
    ASSERT_NE(std::string::npos, post) << recipe;
    EXPECT_EQ(std::string::npos, recipe.find("\n%post\n", post + 1)) << recipe;
    size_t preun = recipe.find("\n%preun\n");
    EXPECT_NE(std::string::npos, recipe.find("systemctl", post)) << recipe;
    EXPECT_LT(recipe.find("-Xshare:dump", post), preun) << recipe;
    EXPECT_LT(preun, recipe.find("rm -f /opt/orders/runtime/lib/server/classes.jsa")) << recipe;
}
