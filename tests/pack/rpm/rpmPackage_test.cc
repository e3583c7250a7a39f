#include "pack/package/packageRequest.h"
#include "pack/rpm/rpmPackage.h"
#include "testSupport.h"
#include "util/stringArray.h"

#include <gtest/gtest.h>
#include <string>

namespace {
std::string recipeFor(const packageRequest& options) {
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
    packageRequest options;
    options.name = "myapp";
    options.version = "2.1~rc1";
    options.description = "Edits maps";
    options.maintainer = "Ann 100% Lee <ann@example.org>";
    std::string recipe = recipeFor(options);
    EXPECT_NE(std::string::npos, recipe.find("%files\n%defattr(-,root,root,-)\n/opt/myapp\n\n"
                                             "%changelog\n* Wed Dec 09 2026 Ann 100%% Lee "
                                             "<ann@example.org> - 2.1~rc1-1\n"
                                             "- Packaged by larkwin-pack.\n"))
        << recipe;
    options.maintainer.reset();
    EXPECT_EQ(std::string::npos, recipeFor(options).find("%changelog")) << recipeFor(options);
}

// rpmbuild expands "%files" as macros more than once and reads it as glob
// patterns split at blanks: each path is a pattern that matches it alone.
TEST(RpmPackageTest, FilesArePatternsThatMatchThemselvesAlone) {
    packageRequest options;
    options.name = "myapp";
    options.version = "1";
    options.description = "d";
    stringArray files;
    files.append(createStringCopy("/usr/share/metainfo/a b%(x)[y]*?{z}'\"\\.xml"));
    files.append(createStringCopy("%config(noreplace) /etc/my app/my%app.config"));
    stringArray libraries;
    ownedString recipe(createRpmRecipe(options, "/tmp/root", files, libraries));
    EXPECT_NE(std::string::npos,
              std::string(recipe.get())
                  .find("\n/usr/share/metainfo/a?b[%](x)[[]y[]][*][?]?z????.xml\n"
                        "%config(noreplace) /etc/my?app/my[%]app.config\n"))
        << recipe.get();
    files.append(createStringCopy("/usr/share/metainfo/line\nbreak.xml"));
    EXPECT_EQ(
        "'/usr/share/metainfo/line\nbreak.xml' holds a control character, which an rpm "
        "package cannot list",
        thrownMessage([&] { delete[] createRpmRecipe(options, "/tmp/root", files, libraries); }));
}

TEST(RpmPackageTest, ADateBeyondTheCalendarIsRefused) {
    environmentVariable epoch("SOURCE_DATE_EPOCH", "9000000000000000000");
    packageRequest options;
    options.name = "myapp";
    options.version = "1";
    options.description = "Edits maps";
    options.maintainer = "Ann <ann@example.org>";
    try {
        recipeFor(options);
        FAIL() << "no error";
    } catch (char* message) {
        ownedString owned(message);
        EXPECT_STREQ("SOURCE_DATE_EPOCH 9000000000000000000 is beyond the dates this system knows",
                     message);
    }
}

// Each kind of what a package installs as rpmbuild reads it.
TEST(RpmPackageTest, FilesLinesSayEachKind) {
    std::vector<installedEntry> installed = {{"/opt/orders", installedPath},
                                             {"/etc/orders/orders.config", installedSettings},
                                             {"/etc/orders", installedDirectory}};
    stringArray files;
    appendFilesLines(installed, files);
    ASSERT_EQ(3, files.size());
    EXPECT_STREQ("/opt/orders", files[0]);
    EXPECT_STREQ("%config(noreplace) /etc/orders/orders.config", files[1]);
    EXPECT_STREQ("%dir /etc/orders", files[2]);
}
