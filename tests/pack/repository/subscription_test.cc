#include "pack/repository/subscription.h"
#include "testSupport.h"

#include <gtest/gtest.h>

// Every value that reaches the sources file or the .repo file: the URL, the
// name, and the key's URL; each with what apt or libdnf would read
// otherwise (a quote, "%", "$(...)", a line end).
TEST(subscriptionTest, urlsThatTheFilesHoldAsWritten) {
    const char* kept[] = {"https://example.org/apt", "http://127.0.0.1:8080/", "file:///srv/repo",
                          "https://example.org/my%20app/",
                          "https://[::1]:80/a_b~c-d.e/?x=1&y=(2)*+,!@"};
    for (const char* url : kept) {
        EXPECT_EQ("", thrownMessage([&] { checkRepositoryUrl(url); })) << url;
    }
    const char* refused[] = {"https://example.org/'a'",
                             "https://example.org/\"a\"",
                             "https://example.org/100%",
                             "https://example.org/%zz",
                             "https://example.org/%2",
                             "https://example.org/$(id)",
                             "https://example.org/$basearch",
                             "https://example.org/a\nb",
                             "https://example.org/a\rb",
                             "https://example.org/a b",
                             "https://example.org/a\tb",
                             "https://example.org/#a",
                             "https://example.org/a;b",
                             "https://example.org/a\\b",
                             "https://example.org/`id`",
                             "ftp://example.org/",
                             "example.org/apt",
                             "https://",
                             ""};
    for (const char* url : refused) {
        std::string message = thrownMessage([&] { checkRepositoryUrl(url); });
        EXPECT_NE("", message) << url;
        EXPECT_EQ(std::string::npos, message.find_first_of("\r\n")) << message;
    }
    EXPECT_NE(std::string::npos,
              thrownMessage([] { checkRepositoryUrl("http://a/x\ny"); }).find("'\\x0a'"));
}

TEST(subscriptionTest, namesThatNameAPackage) {
    for (const char* name : {"myapp", "my-app.2", "a0"}) {
        EXPECT_EQ("", thrownMessage([&] { checkSubscriptionName(name); })) << name;
    }
    for (const char* name : {"a", "", "MyApp", "-app", ".app", "my app", "a'b", "a\"b", "a%b",
                             "a$(id)", "a\nb", "a\rb", "a/b", "a_b",
                             // apt passes over sources files named with "+"
                             "g++", "c++app"}) {
        EXPECT_NE("", thrownMessage([&] { checkSubscriptionName(name); })) << name;
    }
}

TEST(subscriptionTest, sourcesFileIsDeb822WithItsOwnKey) {
    EXPECT_EQ("Types: deb\nURIs: https://example.org/apt\nSuites: stable\nComponents: main\n"
              "Signed-By: /etc/apt/keyrings/myapp-archive-keyring.pgp\n",
              createAptSources("myapp", "https://example.org/apt", "stable"));
    EXPECT_EQ("/etc/apt/sources.list.d/myapp.sources", aptSourcesPath("myapp"));
    EXPECT_NE("", thrownMessage([] { createAptSources("myapp", "https://a/\n", "stable"); }));
    EXPECT_NE("", thrownMessage([] { createAptSources("my\napp", "https://a/", "stable"); }));
    EXPECT_NE("", thrownMessage([] { createAptSources("myapp", "https://a/", "st'able"); }));
}

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
