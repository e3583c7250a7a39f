#include "launcher/commandChannel.h"
#include "processSupport.h"
#include "seccompSupport.h"
#include "unix/exePath.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>

static const int waitMilliseconds = 10000;

static int waitReadable(int fd) {
    struct pollfd entry = {fd, POLLIN, 0};
    return poll(&entry, 1, waitMilliseconds) == 1;
}

// A TCP socket on 127.0.0.1 with a port of the system's choice; listening
// only when asked, so that a port without a listener is at hand too.
class localSocket {
  public:
    explicit localSocket(bool listening) {
        fd = socket(AF_INET, SOCK_STREAM, 0);
        struct sockaddr_in address;
        memset(&address, 0, sizeof address);
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd, (struct sockaddr*)&address, sizeof address);
        if (listening) {
            listen(fd, 4);
        }
        socklen_t length = sizeof address;
        getsockname(fd, (struct sockaddr*)&address, &length);
        port = ntohs(address.sin_port);
    }
    ~localSocket() { close(fd); }

    // Everything that one connection sends until its end of stream, or
    // "(timeout)" when a step takes longer than the deadline.
    std::string receive() {
        if (!waitReadable(fd)) {
            return "(timeout)";
        }
        int connection = accept(fd, nullptr, nullptr);
        std::string received;
        char chunk[256];
        ssize_t got = 1;
        while (got > 0) {
            if (!waitReadable(connection)) {
                received = "(timeout)";
                break;
            }
            got = recv(connection, chunk, sizeof chunk, 0);
            received.append(chunk, got > 0 ? got : 0);
        }
        close(connection);
        return received;
    }

    // A running instance takes the connection while the launcher waits for
    // it to close: receive() on a thread of its own, joined by received().
    void startReceiving() {
        receiver = std::thread([this] { lastReceived = receive(); });
    }
    std::string received() {
        receiver.join();
        return lastReceived;
    }

    int fd;
    int port;

  private:
    std::thread receiver;
    std::string lastReceived;
};

TEST(CommandChannel, ListenerReceivesExactlyTheCommandThenEndOfStream) {
    localSocket listener(true);
    listener.startReceiving();
    EXPECT_EQ(1, sendCommand("127.0.0.1", listener.port, "open /home/u/notes.txt"));
    EXPECT_EQ("open /home/u/notes.txt", listener.received());
    listener.startReceiving();
    EXPECT_EQ(1, sendCommand("127.0.0.1", listener.port, ""));
    EXPECT_EQ("", listener.received());
}

TEST(CommandChannel, PortAbove65535UsesItsLow16Bits) {
    localSocket listener(true);
    listener.startReceiving();
    EXPECT_EQ(1, sendCommand("127.0.0.1", listener.port + 3 * 65536, "open /x"));
    EXPECT_EQ("open /x", listener.received());
}

TEST(CommandChannel, RefusedConnectionIsAFailedSendWithoutSignal) {
    localSocket unused(false);
    debugFlag quiet(0);
    processResult silent =
        outputOf([&] { EXPECT_EQ(0, sendCommand("127.0.0.1", unused.port, "open /x")); });
    EXPECT_EQ("", silent.out);
    EXPECT_EQ("", silent.err);
    debugFlag loud(1);
    processResult told =
        outputOf([&] { EXPECT_EQ(0, sendCommand("127.0.0.1", unused.port, "open /x")); });
    EXPECT_EQ("sendCommand open /x\n", told.out);
    EXPECT_EQ("Can't send message\n", told.err);
    processResult portZero =
        outputOf([&] { EXPECT_EQ(0, sendCommand("127.0.0.1", 0, "open /y")); });
    EXPECT_EQ("sendCommand open /y\n", portZero.out);
    EXPECT_EQ("Can't send message\n", portZero.err);
}

TEST(CommandChannel, DebugTracesASuccessfulCallOnStandardOutputOnly) {
    localSocket listener(true);
    listener.startReceiving();
    debugFlag loud(1);
    processResult traced =
        outputOf([&] { EXPECT_EQ(1, sendCommand("127.0.0.1", listener.port, "open /z")); });
    EXPECT_EQ("sendCommand open /z\n", traced.out);
    EXPECT_EQ("", traced.err);
    EXPECT_EQ("open /z", listener.received());
}

// No name is looked up (a static launcher cannot do it reliably): a name is a
// failed lookup, 0 without a message, even where the name would resolve.
TEST(CommandChannel, HostNamesAreNotLookedUp) {
    localSocket listener(true);
    debugFlag loud(1);
    for (const char* host : {"localhost", "127.1", "::1", ""}) {
        processResult told =
            outputOf([&] { EXPECT_EQ(0, sendCommand(host, listener.port, "open /n")); });
        EXPECT_EQ("sendCommand open /n\n", told.out) << host;
        EXPECT_EQ("", told.err) << host;
    }
}

TEST(CommandChannel, SocketThatCannotBeCreatedIsExplained) {
    scratchDir dir;
    processResult result = runForked(dir, [] {
        debug = 1;
        struct rlimit noDescriptors = {0, 0};
        setrlimit(RLIMIT_NOFILE, &noDescriptors);
        return sendCommand("127.0.0.1", 1, "open /x") == 0 ? 0 : 1;
    });
    EXPECT_EQ(0, result.status);
    EXPECT_EQ("Can't create socket\n", result.err);
}

// A listener that never accepts, its backlog filled first: connections are
// made until one stays pending. The kernel would retry the next connection
// for minutes; the send waits 2 seconds for it. The kernel's clock is not
// waited for: a poll with that bound is answered at once as timed out, and a
// poll with any other bound ends the sender with SIGSYS.
TEST(CommandChannel, AListenerWhoseBacklogIsFullIsAFailedSendAfterTwoSeconds) {
    localSocket listener(false);
    ASSERT_EQ(0, listen(listener.fd, 0));
    struct sockaddr_in address;
    memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons((uint16_t)listener.port);
    int fillers[16];
    int filled = 0;
    for (bool pending = false; !pending && filled < 16; filled++) {
        fillers[filled] = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        connect(fillers[filled], (struct sockaddr*)&address, sizeof address);
        struct pollfd done = {fillers[filled], POLLOUT, 0};
        pending = poll(&done, 1, 1000) == 0;
    }
    scratchDir dir;
    processResult told = runForked(dir, [&] {
        debug = 1;
#if defined(__linux__) && defined(__NR_poll)
        if (!installSyscallRules(
                {{__NR_poll, SECCOMP_RET_ERRNO | 0, 2, 2000}, {__NR_poll, SECCOMP_RET_TRAP}})) {
            return 99;
        }
#endif
        return sendCommand("127.0.0.1", listener.port, "open /x");
    });
    for (int i = 0; i < filled; i++) {
        close(fillers[i]);
    }
    if (told.status == 99) {
        GTEST_SKIP() << "seccomp filters cannot be installed here";
    }
    EXPECT_EQ(0, told.status);
    EXPECT_EQ("Can't send message\n", told.err);
}
