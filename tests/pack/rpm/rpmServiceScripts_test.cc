#include "pack/package/packageRequest.h"
#include "pack/rpm/rpmPackage.h"
#include "testSupport.h"
#include "util/stringArray.h"

#include <gtest/gtest.h>
#include <string>

namespace {
std::string recipeFor(const packageRequest& options) {
    stringArray files;
    files.append(createStringCopy("/opt/orders"));
    files.append(createStringCopy("/usr/lib/systemd/system/orders.service"));
    stringArray libraries;
    ownedString recipe(createRpmRecipe(options, "/tmp/root", files, libraries));
    return recipe.get();
}
} // namespace

// --service only appends the scriptlets, after the file list: the recipe
// of a package without it stays as it was.
TEST(RpmServiceScriptsTest, AppendedAfterTheFilesOnlyWithService) {
    packageRequest options;
    options.name = "orders";
    options.description = "Takes orders";
    std::string plain = recipeFor(options);
    EXPECT_EQ(std::string::npos, plain.find("%post")) << plain;
    EXPECT_EQ(std::string::npos, plain.find("systemctl")) << plain;
    options.image.service = serviceRequest();
    std::string service = recipeFor(options);
    ASSERT_EQ(0u, service.find(plain)) << service;
    std::string scripts = service.substr(plain.size());
    size_t post = scripts.find("\n%post\n");
    size_t preun = scripts.find("\n%preun\n");
    size_t postun = scripts.find("\n%postun\n");
    EXPECT_EQ(0u, post) << scripts;
    EXPECT_LT(post, preun) << scripts;
    EXPECT_LT(preun, postun) << scripts;
    EXPECT_NE(std::string::npos, scripts.find("systemctl stop orders.service", preun)) << scripts;
    EXPECT_EQ(std::string::npos, scripts.find('%', postun + 9)) << scripts;
}
