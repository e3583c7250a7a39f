#include "pack/options/packOptions.h"
#include "pack/package/rpmPackage.h"
#include "testSupport.h"

#include <gtest/gtest.h>
#include <string>

namespace {
std::string recipeFor(const packOptions& options) {
    stringArray files;
    files.append(createStringCopy("/opt/myapp"));
    stringArray libraries;
    ownedString recipe(createRpmRecipe(options, "/tmp/root", files, libraries));
    return recipe.get();
}
} // namespace

// rpm's changelog names who packaged it, on a date of rpm's own form.
TEST(RpmPackageTest, ChangelogOfThePackagerAtThePackageTime) {
    environmentVariable epoch("SOURCE_DATE_EPOCH", "1796774400");
    packOptions options;
    options.name = createStringCopy("myapp");
    options.appVersion = createStringCopy("2.1~rc1");
    options.description = createStringCopy("Edits maps");
    options.maintainer = createStringCopy("Ann 100% Lee <ann@example.org>");
    std::string recipe = recipeFor(options);
    EXPECT_NE(std::string::npos, recipe.find("%files\n%defattr(-,root,root,-)\n/opt/myapp\n\n"
                                             "%changelog\n* Wed Dec 09 2026 Ann 100%% Lee "
                                             "<ann@example.org> - 2.1~rc1-1\n"
                                             "- Packaged by larkwin-pack.\n"))
        << recipe;
    delete[] options.maintainer;
    options.maintainer = nullptr;
    EXPECT_EQ(std::string::npos, recipeFor(options).find("%changelog")) << recipeFor(options);
}

TEST(RpmPackageTest, ADateBeyondTheCalendarIsRefused) {
    environmentVariable epoch("SOURCE_DATE_EPOCH", "9000000000000000000");
    packOptions options;
    options.name = createStringCopy("myapp");
    options.appVersion = createStringCopy("1");
    options.description = createStringCopy("Edits maps");
    options.maintainer = createStringCopy("Ann <ann@example.org>");
    try {
        recipeFor(options);
        FAIL() << "no error";
    } catch (char* message) {
        ownedString owned(message);
        EXPECT_STREQ("SOURCE_DATE_EPOCH 9000000000000000000 is beyond the dates this system knows",
                     message);
    }
}
