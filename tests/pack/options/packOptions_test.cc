#include "pack/options/packOptions.h"
#include "pack/options/packRequests.h"
#include "pack/package/packageFormat.h"
#include "testSupport.h"

#include <gtest/gtest.h>
#include <vector>

namespace {
std::string usageError(packOptions& options, std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "larkwin-pack");
    ownedString error(
        options.createUsageError((int)arguments.size(), const_cast<char**>(arguments.data())));
    return error ? error.get() : "";
}
} // namespace

// What follows "--" is the training run's, options of larkwin-pack's own
// names included.
TEST(PackOptions, TrainingArgumentsAreTakenAsTheyAre) {
    packOptions options;
    EXPECT_EQ("", usageError(options, {"--app-image", "d", "--main-class", "a.B", "app.jar",
                                       "--train", "--", "--name", "x", "", "-o"}));
    ASSERT_TRUE(options.train);
    ASSERT_EQ(4, options.trainArguments.size());
    EXPECT_STREQ("--name", options.trainArguments[0]);
    EXPECT_STREQ("", options.trainArguments[2]);
    EXPECT_STREQ("-o", options.trainArguments[3]);
    EXPECT_EQ(nullptr, options.name);
    packOptions none;
    EXPECT_EQ("",
              usageError(none, {"--app-image", "d", "--main-class", "a.B", "app.jar", "--train"}));
    EXPECT_EQ(0, none.trainArguments.size());
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
    arguments.insert(arguments.begin(), "larkwin-pack");
    packOptions options;
    ownedString error(
        options.createUsageError((int)arguments.size(), const_cast<char**>(arguments.data())));
    return error ? error.get() : "";
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
    std::vector<const char*> arguments = {"larkwin-pack",
                                          "--rpm",
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
    ownedString error(
        options.createUsageError((int)arguments.size(), const_cast<char**>(arguments.data())));
    ASSERT_EQ(nullptr, error.get()) << error.get();
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
