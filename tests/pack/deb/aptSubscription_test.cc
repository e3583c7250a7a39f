#include "pack/deb/aptSubscription.h"
#include "testSupport.h"

#include <gtest/gtest.h>

TEST(subscriptionTest, sourcesFileIsDeb822WithItsOwnKey) {
    EXPECT_EQ("Types: deb\nURIs: https://example.org/apt\nSuites: stable\nComponents: main\n"
              "Signed-By: /etc/apt/keyrings/myapp-archive-keyring.pgp\n",
              createAptSources("myapp", "https://example.org/apt", "stable"));
    EXPECT_EQ("/etc/apt/sources.list.d/myapp.sources", aptSourcesPath("myapp"));
    EXPECT_NE("", thrownMessage([] { createAptSources("myapp", "https://a/\n", "stable"); }));
    EXPECT_NE("", thrownMessage([] { createAptSources("my\napp", "https://a/", "stable"); }));
    EXPECT_NE("", thrownMessage([] { createAptSources("myapp", "https://a/", "st'able"); }));
}
