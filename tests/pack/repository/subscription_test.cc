#include "pack/repository/subscription.h"
#include "testSupport.h"

#include <gtest/gtest.h>

namespace {
// The package managers the messages name.
const std::vector<std::string> readers = {"apt", "dnf"};
} // namespace

// Every value that reaches the sources file or the .repo file: the URL, the
// name, and the key's URL; each with what apt or libdnf would read
// otherwise (a quote, "%", "$(...)", a line end).
TEST(subscriptionTest, urlsThatTheFilesHoldAsWritten) {
    const char* kept[] = {"https://example.org/apt", "http://127.0.0.1:8080/", "file:///srv/repo",
                          "https://example.org/my%20app/",
                          "https://[::1]:80/a_b~c-d.e/?x=1&y=(2)*+,!@"};
    for (const char* url : kept) {
        EXPECT_EQ("", thrownMessage([&] { checkRepositoryUrl(url, readers); })) << url;
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
        std::string message = thrownMessage([&] { checkRepositoryUrl(url, readers); });
        EXPECT_NE("", message) << url;
        EXPECT_EQ(std::string::npos, message.find_first_of("\r\n")) << message;
    }
    EXPECT_NE(std::string::npos,
              thrownMessage([] { checkRepositoryUrl("http://a/x\ny", readers); }).find("'\\x0a'"));
}

TEST(subscriptionTest, namesThatNameAPackage) {
    for (const char* name : {"myapp", "my-app.2", "a0"}) {
        EXPECT_EQ("", thrownMessage([&] { checkSubscriptionName(name, readers); })) << name;
    }
    for (const char* name : {"a", "", "MyApp", "-app", ".app", "my app", "a'b", "a\"b", "a%b",
                             "a$(id)", "a\nb", "a\rb", "a/b", "a_b",
                             // apt passes over sources files named with "+"
                             "g++", "c++app"}) {
        EXPECT_NE("", thrownMessage([&] { checkSubscriptionName(name, readers); })) << name;
    }
}

// The refusals name the package managers that read the files.
TEST(subscriptionTest, refusalsNameTheReaders) {
    EXPECT_NE(std::string::npos, findUrlProblem("https://a/$x", readers)
                                     .find("which apt's and dnf's files cannot hold as it is"));
    EXPECT_NE(std::string::npos, thrownMessage([] {
                                     checkSubscriptionName("c++app", {"apt", "dnf", "zypper"});
                                 }).find("the subscription files that apt, dnf and zypper read"));
}
