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
