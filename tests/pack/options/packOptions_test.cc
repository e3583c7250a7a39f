#include "pack/options/optionChecks.h"
#include "pack/options/optionParser.h"
#include "pack/options/packOptions.h"
#include "pack/options/packRequests.h"
#include "pack/package/packageFormat.h"
#include "testSupport.h"

#include <gtest/gtest.h>
#include <vector>

namespace {
std::string usageError(packOptions& options, std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "larkwin-pack");
    std::string error =
        parseCommandLine((int)arguments.size(), const_cast<char**>(arguments.data()), &options);
    return error.empty() ? checkCommandLine(options) : error;
}
} // namespace

// What follows "--" is the training run's, options of larkwin-pack's own
// names included.
TEST(PackOptions, TrainingArgumentsAreTakenAsTheyAre) {
    packOptions options;
    EXPECT_EQ("", usageError(options, {"--app-image", "d", "--main-class", "a.B", "app.jar",
                                       "--train", "--", "--name", "x", "", "-o"}));
    ASSERT_TRUE(options.train);
    EXPECT_EQ((std::vector<std::string>{"--name", "x", "", "-o"}), options.trainArguments);
    EXPECT_FALSE(options.name.has_value());
    packOptions none;
    EXPECT_EQ("",
              usageError(none, {"--app-image", "d", "--main-class", "a.B", "app.jar", "--train"}));
    EXPECT_TRUE(none.trainArguments.empty());
}

TEST(PackOptions, TrainingNeedsAnImageWithTheCache) {
    packOptions bundle;
    EXPECT_EQ("--train needs --app-image, --deb or --rpm",
              usageError(bundle, {"-o", "out", "--main-class", "a.B", "app.jar", "--train"}));
    packOptions noCache;
    EXPECT_EQ("--train needs the start-up cache; leave out --no-startup-cache",
              usageError(noCache, {"--app-image", "d", "--main-class", "a.B", "--no-startup-cache",
                                   "app.jar", "--train"}));
    packOptions dashesAlone;
    EXPECT_EQ(
        "-- ARGS goes with --train",
        usageError(dashesAlone, {"--app-image", "d", "--main-class", "a.B", "app.jar", "--", "x"}));
    packOptions shown;
    EXPECT_EQ("--show takes no other options", usageError(shown, {"--show", "f", "--train"}));
}

static std::string usageError(std::vector<const char*> arguments) {
    packOptions options;
    return usageError(options, arguments);
}

TEST(packageFieldsTest, packagesNeedWhatTheirFormatsRequire) {
    std::vector<const char*> deb = {"--deb",         "dist",     "--name",         "myapp",
                                    "--app-version", "1.0",      "--description",  "My app",
                                    "--maintainer",  "Me <m@e>", "--license-file", "COPYING",
                                    "--main-class",  "a.B",      "app.jar"};
    EXPECT_EQ("", usageError(deb));
    std::vector<const char*> both = deb;
    both.insert(both.begin(), {"--rpm", "dist"});
    EXPECT_EQ("--rpm needs --license NAME, such as MIT or GPL-2.0-or-later", usageError(both));
    both.insert(both.begin(), {"--license", "MIT", "--file-type", "x,text/x-x,X", "--file-type",
                               "y,text/x-y,Y", "--url-scheme", "myapp"});
    EXPECT_EQ("", usageError(both));
    std::vector<const char*> noMaintainer = {"--deb",         "dist", "--name",        "myapp",
                                             "--app-version", "1.0",  "--description", "x",
                                             "--main-class",  "a.B",  "app.jar"};
    EXPECT_EQ("--deb needs --maintainer 'NAME <EMAIL>' and --license-file FILE",
              usageError(noMaintainer));
}

TEST(packageFieldsTest, packageOptionsAreRefusedAlone) {
    EXPECT_EQ("--icon needs --deb or --rpm",
              usageError({"-o", "x", "--icon", "a.png", "--main-class", "a.B", "app.jar"}));
    EXPECT_EQ("--url-scheme needs --deb or --rpm",
              usageError({"-o", "x", "--url-scheme", "a", "--main-class", "a.B", "app.jar"}));
    EXPECT_EQ("give --deb and --rpm without -o and --app-image",
              usageError({"-o", "x", "--deb", "d", "--main-class", "a.B", "app.jar"}));
    EXPECT_EQ("--show takes no other options", usageError({"--show", "x", "--rpm", "d"}));
    EXPECT_NE(std::string::npos,
              usageError({"--deb", "d", "--name", "My App", "--main-class", "a.B", "app.jar"})
                  .find("--name NAME"));
}

// Each job's request holds what its options said; the packages name their
// formats in the table's order, whatever the command line's.
TEST(packRequestsTest, requestsCarryTheirJobsOptions) {
    std::vector<const char*> arguments = {"--rpm",
                                          "r",
                                          "--deb",
                                          "d",
                                          "--name",
                                          "myapp",
                                          "--app-version",
                                          "1.0",
                                          "--description",
                                          "My app",
                                          "--maintainer",
                                          "Me <m@e>",
                                          "--license-file",
                                          "COPYING",
                                          "--license",
                                          "MIT",
                                          "--service",
                                          "--service-user",
                                          "svc",
                                          "--runtime",
                                          "/jdk",
                                          "--main-class",
                                          "a.B",
                                          "app.jar",
                                          "dep.jar"};
    packOptions options;
    ASSERT_EQ("", usageError(options, arguments));
    packageRequest package = createPackageRequest(options);
    ASSERT_EQ(2u, package.outputs.size());
    EXPECT_EQ(packageFormats[0], package.outputs[0].format);
    EXPECT_STREQ("--deb", package.outputs[0].format->option);
    EXPECT_EQ("d", package.outputs[0].directory);
    EXPECT_EQ("r", package.outputs[1].directory);
    EXPECT_EQ("myapp", *package.image.name);
    EXPECT_EQ((std::vector<std::string>{"app.jar", "dep.jar"}), package.image.archives);
    EXPECT_EQ("/jdk", *package.image.runtime);
    ASSERT_TRUE(package.image.service.has_value());
    EXPECT_EQ("svc", *package.image.service->user);
    EXPECT_FALSE(package.image.service->notify);
    EXPECT_FALSE(package.image.training.has_value());
    EXPECT_FALSE(package.vendor.has_value());
    EXPECT_EQ("a.B", *package.mainClass);
}

// A repository needs its package, a key and the URL it is served at; each
// option alone says what it lacks.
TEST(PackOptions, RepositoryOptionsNeedTheirPartners) {
    std::vector<const char*> package = {
        "--name", "myapp",        "--app-version", "1.0",     "--license", "MIT", "--description",
        "x",      "--main-class", "a.B",           "app.jar", "--rpm",     "dist"};
    struct {
        std::vector<const char*> options;
        const char* error;
    } cases[] = {
        {{"--rpm-repo", "r", "--sign-key", "K", "--update-url", "https://a/"}, ""},
        {{"--rpm-repo", "r", "--sign-key", "K", "--update-url", "u", "--keep", "999"}, ""},
        {{"--sign-key", "K", "--update-url", "https://a/"}, ""},
        {{"--apt-repo", "r", "--sign-key", "K", "--update-url", "u"}, "--apt-repo needs --deb"},
        {{"--rpm-repo", "r", "--sign-key", "K"},
         "a repository needs --update-url URL, where it is served"},
        {{"--update-url", "u"},
         "--update-url needs --sign-key ID, the GnuPG key that signs the repository"},
        {{"--sign-key", "K"}, "--sign-key needs --update-url URL, and a repository to sign"},
        {{"--sign-key", "K", "--update-url", "u", "--keep", "2"}, "--keep needs a repository"},
        {{"--rpm-repo", "r", "--sign-key", "K", "--update-url", "u", "--keep", "0"},
         "--keep takes a number from 1 to 999"},
        {{"--rpm-repo", "r", "--sign-key", "K", "--update-url", "u", "--keep", "1000"},
         "--keep takes a number from 1 to 999"},
        {{"--rpm-repo", "r", "--sign-key", "K", "--update-url", "u", "--keep", "-1"},
         "--keep takes a number from 1 to 999"},
        {{"--rpm-repo", "r", "--sign-key", "K\nL", "--update-url", "u"},
         "--sign-key takes one line of text"},
    };
    for (const auto& test : cases) {
        std::vector<const char*> arguments = package;
        arguments.insert(arguments.end(), test.options.begin(), test.options.end());
        packOptions options;
        EXPECT_EQ(test.error, usageError(options, arguments)) << test.options[0];
    }
    packOptions alone;
    EXPECT_EQ(
        "--apt-repo needs --deb or --rpm",
        usageError(alone, {"-o", "out", "--main-class", "a.B", "app.jar", "--apt-repo", "r"}));
}

// --app-content: SRC[=DEST], DEST a path under the image outside its own
// folders; the menu-entry options agree with each other.
TEST(PackOptions, AppContentAndMenuEntryOptions) {
    std::vector<const char*> deb = {"--deb",         "dist",     "--name",         "myapp",
                                    "--app-version", "1.0",      "--description",  "My app",
                                    "--maintainer",  "Me <m@e>", "--license-file", "COPYING",
                                    "--main-class",  "a.B",      "app.jar"};
    struct {
        std::vector<const char*> extra;
        std::string error;
    } cases[] = {
        {{"--app-content", "data", "--app-content", "/x/y=share/myapp/y", "--menu-entry"}, ""},
        {{"--app-content", "a=b=c", "--terminal"}, ""},
        {{"--app-content", "=share/x"}, "--app-content '=share/x' names no source"},
        {{"--app-content", "d=/opt/x"},
         "--app-content 'd=/opt/x': DEST must be a path under the image's root, such as "
         "share/NAME/data"},
        {{"--app-content", "d="},
         "--app-content 'd=': DEST must be a path under the image's root, such as "
         "share/NAME/data"},
        {{"--app-content", "d=share/../../etc"},
         "--app-content 'd=share/../../etc': DEST must be no empty, '.' or '..' parts"},
        {{"--app-content", "d=share//x"},
         "--app-content 'd=share//x': DEST must be no empty, '.' or '..' parts"},
        {{"--app-content", "d=lib/x"},
         "--app-content 'd=lib/x': DEST must be a place outside the image's own bin, lib and "
         "runtime"},
        {{"--app-content", "d=share/a\nb"},
         "--app-content 'd=share/a\nb': DEST must be no control characters"},
        {{"--menu-entry", "--no-menu-entry"}, "give --menu-entry or --no-menu-entry, not both"},
        {{"--no-menu-entry", "--terminal"},
         "--terminal says how the menu entry runs; leave out --no-menu-entry"},
        {{"--no-menu-entry", "--url-scheme", "myapp"},
         "--no-menu-entry leaves nothing to open the --file-type or --url-scheme with"},
    };
    for (const auto& c : cases) {
        std::vector<const char*> arguments = deb;
        arguments.insert(arguments.end(), c.extra.begin(), c.extra.end());
        EXPECT_EQ(c.error, usageError(arguments)) << c.extra[1];
    }
    EXPECT_EQ("--app-content needs --app-image, --deb or --rpm: a bundle is one file, with no "
              "folder to hold it",
              usageError({"-o", "x", "--app-content", "d", "--main-class", "a.B", "app.jar"}));
    EXPECT_EQ("--terminal needs --deb or --rpm",
              usageError({"--app-image", "x", "--terminal", "--main-class", "a.B", "app.jar"}));
    EXPECT_EQ("--show takes no other options", usageError({"--show", "x", "--app-content", "d"}));
    packOptions options;
    std::vector<const char*> image = {"--app-image",   "x",    "--app-content", "a=b=c",
                                      "--app-content", "/d/e", "--main-class",  "a.B",
                                      "app.jar"};
    ASSERT_EQ("", usageError(options, image));
    imageRequest request = createImageRequest(options);
    ASSERT_EQ(2u, request.contents.size());
    EXPECT_EQ("a", request.contents[0].source);
    EXPECT_EQ("b=c", request.contents[0].destination.value_or("none"));
    EXPECT_EQ("/d/e", request.contents[1].source);
    EXPECT_FALSE(request.contents[1].destination.has_value());
}

TEST(PackOptions, ShortRunsGoWithTheMainClassAndTheCache) {
    const std::string refused = "--short-runs goes with --main-class and the start-up cache only "
                                "(with --config, write \"shortruns\" into it)";
    EXPECT_EQ("", usageError({"-o", "out", "--main-class", "a.B", "app.jar", "--short-runs"}));
    EXPECT_EQ(refused, usageError({"-o", "out", "--config", "c", "app.jar", "--short-runs"}));
    EXPECT_EQ(refused, usageError({"-o", "out", "--main-class", "a.B", "--no-startup-cache",
                                   "app.jar", "--short-runs"}));
    EXPECT_EQ("--show takes no other options", usageError({"--show", "f", "--short-runs"}));
}

// Every runtime holds java.base: excluding it is refused by name, wherever
// the list names it, and a module that only begins with its name is not it.
TEST(PackOptions, JavaBaseCannotBeExcluded) {
    const char* refused = "--exclude-modules cannot leave out java.base: every runtime holds it, "
                          "and every other module needs it";
    for (const char* list : {"java.base", "java.sql,java.base", "java.base,java.sql"}) {
        EXPECT_EQ(refused, usageError({"--app-image", "d", "--exclude-modules", list,
                                       "--main-class", "a.B", "app.jar"}))
            << list;
    }
    EXPECT_EQ("", usageError({"--app-image", "d", "--exclude-modules", "java.base2,java.sql",
                              "--main-class", "a.B", "app.jar"}));
}
