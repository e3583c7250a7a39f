#include "pack/repository/subscription.h"
#include "pack/rpm/rpmSubscription.h"
#include "testSupport.h"

#include <gtest/gtest.h>

TEST(subscriptionTest, repoFileChecksPackagesAndMetadata) {
    std::string keyUrl = joinUrl("https://example.org/rpm", keyringFileName("myapp"));
    EXPECT_EQ("https://example.org/rpm/myapp-archive-keyring.pgp", keyUrl);
    EXPECT_EQ(keyUrl, joinUrl("https://example.org/rpm/", keyringFileName("myapp")));
    EXPECT_EQ("[myapp]\nname=myapp\nbaseurl=https://example.org/rpm\nenabled=1\ngpgcheck=1\n"
              "repo_gpgcheck=1\ngpgkey=https://example.org/rpm/myapp-archive-keyring.pgp\n",
              createRpmRepo("myapp", "https://example.org/rpm", keyUrl));
    EXPECT_EQ("/etc/pki/rpm-gpg/RPM-GPG-KEY-myapp", rpmKeyPath("myapp"));
    EXPECT_EQ("/etc/yum.repos.d/myapp.repo", rpmRepoPath("myapp"));
    EXPECT_NE("",
              thrownMessage([] { createRpmRepo("myapp", "https://a/$releasever", "file:///k"); }));
    EXPECT_NE("", thrownMessage([] { createRpmRepo("myapp", "https://a/", "file:///k\r"); }));
}
