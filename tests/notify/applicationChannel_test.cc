#include "notify/applicationChannel.h"
#include "notify/serviceManager.h"
#include "processSupport.h"

#include <cstddef>
#include <gtest/gtest.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>

namespace {
std::string messageFor(const char* line, int watchdog) {
    ownedString message(createManagerMessage(line, watchdog));
    return message ? message.get() : "(none)";
}

// A datagram socket bound where NOTIFY_SOCKET will point, as the service
// manager's; -1 when it cannot be made.
int bindManagerSocket(const std::string& socketPath) {
    int manager = socket(AF_UNIX, SOCK_DGRAM, 0);
    struct sockaddr_un address;
    unsigned int length = 0;
    if (manager < 0 || parseNotifyAddress(socketPath.c_str(), &address, &length) != 1 ||
        bind(manager, (struct sockaddr*)&address, length) != 0) {
        if (manager >= 0) {
            close(manager);
        }
        return -1;
    }
    return manager;
}
} // namespace

// Only the four words become assignments; nothing else the application
// writes reaches the manager.
TEST(ManagerMessageTest, OnlyTheApplicationsWordsBecomeAssignments) {
    EXPECT_EQ("READY=1", messageFor("ready", 0));
    EXPECT_EQ("STOPPING=1", messageFor("stopping", 0));
    EXPECT_EQ("STATUS=serving 3 clients", messageFor("status serving 3 clients", 0));
    EXPECT_EQ("STATUS=", messageFor("status ", 0));
    EXPECT_EQ("WATCHDOG=1", messageFor("alive", 1));
    EXPECT_EQ("(none)", messageFor("alive", 0));
    EXPECT_EQ("(none)", messageFor("READY=1", 1));
    EXPECT_EQ("(none)", messageFor("MAINPID=1", 1));
    EXPECT_EQ("(none)", messageFor("ready ", 1));
    EXPECT_EQ("(none)", messageFor("status", 1));
    EXPECT_EQ("(none)", messageFor("", 1));
}

// systemd splits a message at a line feed and at a carriage return: a status
// ends at its first control character, whichever it is, and at the bound.
TEST(ManagerMessageTest, StatusEndsAtEveryControlCharacterAndAtItsBound) {
    for (int c = 1; c < 0x20; c++) {
        std::string line = std::string("status up") + (char)c + "MAINPID=1";
        EXPECT_EQ("STATUS=up", messageFor(line.c_str(), 1)) << "control character " << c;
    }
    EXPECT_EQ("STATUS=up", messageFor("status up\x7fWATCHDOG=trigger", 1));
    EXPECT_EQ("STATUS=", messageFor("status \rEXTEND_TIMEOUT_USEC=1", 1));
    EXPECT_EQ("STATUS=caf\xc3\xa9 \xe2\x82\xac", messageFor("status caf\xc3\xa9 \xe2\x82\xac", 1));
    EXPECT_EQ("(none)", messageFor("ready\rMAINPID=1", 1));
    std::string bounded(longestStatusText, 'x');
    EXPECT_EQ("STATUS=" + bounded, messageFor(("status " + bounded + "y").c_str(), 1));
    // Cut where a character begins, not inside its bytes.
    std::string split(longestStatusText - 1, 'x');
    EXPECT_EQ("STATUS=" + split, messageFor(("status " + split + "\xc3\xa9").c_str(), 1));
}

// The promise of the man page, over lines drawn from words, assignments and
// control characters: each message is one of the named assignments, and no
// byte of it starts another.
TEST(ManagerMessageTest, NothingTheApplicationWritesBecomesAnotherAssignment) {
    const char* pieces[] = {"ready",
                            "status ",
                            "stopping",
                            "alive",
                            "MAINPID=1",
                            "WATCHDOG=trigger",
                            "EXTEND_TIMEOUT_USEC=9",
                            "=",
                            " ",
                            "x",
                            "\r",
                            "\x0b",
                            "\x0c",
                            "\x1e",
                            "\x7f",
                            "\xc3\xa9",
                            "\t"};
    unsigned seed = 20261209;
    for (int round = 0; round < 20000; round++) {
        std::string line;
        for (int n = (int)(rand_r(&seed) % 6); n >= 0; n--) {
            line += pieces[rand_r(&seed) % (sizeof pieces / sizeof pieces[0])];
        }
        std::string message = messageFor(line.c_str(), 1);
        if (message == "(none)") {
            continue;
        }
        bool named = message == "READY=1" || message == "STOPPING=1" || message == "WATCHDOG=1" ||
                     message.compare(0, 7, "STATUS=") == 0;
        EXPECT_TRUE(named) << message;
        for (char c : message) {
            ASSERT_TRUE((unsigned char)c >= 0x20 && c != 0x7f) << "from line: " << line;
        }
        ASSERT_LE(message.size(), strlen("STATUS=") + longestStatusText);
    }
}

// A manager whose queue is full: each send returns at once, dropped, and
// +DEBUG says so.
TEST(ServiceManagerTest, SendsNeverWaitForAManagerThatDoesNotRead) {
    scratchDir dir;
    std::string socketPath = dir.path("notify");
    int manager = bindManagerSocket(socketPath);
    ASSERT_LE(0, manager);
    processResult result = runForked(
        dir,
        [&]() {
            environmentVariable notifySocket("NOTIFY_SOCKET", socketPath.c_str());
            debugFlag on(1);
            if (!openServiceManager()) {
                return 1;
            }
            // Far more than any queue holds.
            for (int i = 0; i < 5000; i++) {
                notifyServiceManager("STATUS=busy");
            }
            notifyStopping();
            return 0;
        },
        20);
    close(manager);
    ASSERT_EQ(0, result.status) << "a send waited (14: the alarm ended it)";
    EXPECT_NE(std::string::npos,
              result.out.find("Not notifying the service manager of 'STOPPING=1': its queue is "
                              "full\n"))
        << result.out;
}

TEST(NotifyAddressTest, PathsAndAbstractNames) {
    struct sockaddr_un address;
    unsigned int length = 0;
    ASSERT_EQ(1, parseNotifyAddress("/run/systemd/notify", &address, &length));
    EXPECT_EQ(AF_UNIX, address.sun_family);
    EXPECT_STREQ("/run/systemd/notify", address.sun_path);
    EXPECT_EQ(offsetof(struct sockaddr_un, sun_path) + sizeof "/run/systemd/notify", length);

    ASSERT_EQ(1, parseNotifyAddress("@abstract", &address, &length));
    EXPECT_EQ(0, address.sun_path[0]);
    EXPECT_EQ(0, memcmp(address.sun_path + 1, "abstract", 8));
    // An abstract name is exactly as long as it is written: no NUL counts.
    EXPECT_EQ(offsetof(struct sockaddr_un, sun_path) + 9, length);

    std::string tooLong = "/" + std::string(sizeof address.sun_path, 'x');
    EXPECT_EQ(0, parseNotifyAddress(tooLong.c_str(), &address, &length));
    EXPECT_EQ(0, parseNotifyAddress("relative/notify", &address, &length));
    EXPECT_EQ(0, parseNotifyAddress("@", &address, &length));
    EXPECT_EQ(0, parseNotifyAddress("", &address, &length));
    EXPECT_EQ(0, parseNotifyAddress(nullptr, &address, &length));
}

// A child stands in for the JVM: it writes whole, split and overlong lines
// on the channel, and the manager's socket gets exactly the messages.
TEST(ApplicationChannelTest, RelaysLinesUntilTheChildEnds) {
    scratchDir dir;
    std::string socketPath = dir.path("notify");
    int manager = bindManagerSocket(socketPath);
    ASSERT_LE(0, manager);
    pid_t relay = startForked(dir, [&]() {
        environmentVariable notifySocket("NOTIFY_SOCKET", socketPath.c_str());
        environmentVariable watchdog("WATCHDOG_USEC", "1000000");
        applicationChannel channel(1);
        if (!channel.isOpen()) {
            return 1;
        }
        ownedString option(channel.createPropertyOption());
        int writingEnd = atoi(strchr(option.get(), '=') + 1);
        pid_t jvm = fork();
        if (jvm == 0) {
            std::string overlong(5000, 'x');
            std::string text = "status starting\nrea";
            text += "dy\nREADY=1\n" + overlong + "\nalive\nstatus done\n";
            for (size_t sent = 0; sent < text.size(); sent += 7) {
                size_t part = std::min<size_t>(7, text.size() - sent);
                if (write(writingEnd, text.data() + sent, part) != (ssize_t)part) {
                    _exit(3);
                }
            }
            _exit(0);
        }
        channel.closeWritingEnd();
        channel.relayUntilEnded(jvm);
        int status = 0;
        waitpid(jvm, &status, 0);
        return WEXITSTATUS(status);
    });
    processResult result = finishForked(dir, relay);
    ASSERT_EQ(0, result.status) << result.err;
    std::string received;
    char buffer[4096];
    ssize_t got;
    while ((got = recv(manager, buffer, sizeof buffer, MSG_DONTWAIT)) > 0) {
        received += std::string(buffer, (size_t)got) + "|";
    }
    close(manager);
    EXPECT_EQ("STATUS=starting|READY=1|WATCHDOG=1|STATUS=done|", received);
}

TEST(ApplicationChannelTest, StaysClosedWithoutAServiceManager) {
    scratchDir dir;
    pid_t child = startForked(dir, []() {
        environmentVariable notifySocket("NOTIFY_SOCKET", nullptr);
        applicationChannel asked(1);
        applicationChannel notAsked(0);
        return asked.isOpen() * 2 + notAsked.isOpen() + isServiceManaged() * 4;
    });
    EXPECT_EQ(0, finishForked(dir, child).status);
}
