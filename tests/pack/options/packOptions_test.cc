#include "pack/options/packOptions.h"
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
         "--apt-repo and --rpm-repo need --update-url URL, where the repository is served"},
        {{"--update-url", "u"},
         "--update-url needs --sign-key ID, the GnuPG key that signs the repository"},
        {{"--sign-key", "K"},
         "--sign-key needs --update-url URL, and --apt-repo or --rpm-repo to sign"},
        {{"--sign-key", "K", "--update-url", "u", "--keep", "2"},
         "--keep needs --apt-repo or --rpm-repo"},
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
