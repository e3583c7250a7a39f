#include "testSupport.h"
#include "unix/socketOwners.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <string>

static const char* header =
    "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  "
    "timeout inode\n";

// One line of the table: an address as the kernel prints it (each 32-bit
// word as the value it has in memory), the port, the state and the owner.
static std::string entry(const std::string& address, int port, const char* state, int uid) {
    char line[256];
    snprintf(line, sizeof line,
             "   0: %s:%04X %s:0000 %s 00000000:00000000 00:00000000 00000000 %5d        0 "
             "4242 1 0000000000000000 100 0 0 10 0\n",
             address.c_str(), port, std::string(address.size(), '0').c_str(), state, uid);
    return line;
}

static std::string word(uint32_t hostOrder) {
    char text[9];
    snprintf(text, sizeof text, "%08X", htonl(hostOrder));
    return text;
}

static const std::string loopback = word(0x7F000001);
static const std::string any = word(0);
static const std::string mappedLoopback = word(0) + word(0) + word(0xFFFF) + word(0x7F000001);
static const std::string mappedAny = word(0) + word(0) + word(0xFFFF) + word(0);
static const std::string v6Any = word(0) + word(0) + word(0) + word(0);
static const std::string v6Loopback = word(0) + word(0) + word(0) + word(1);

struct tables {
    scratchDir dir;
    std::string v4 = dir.path("tcp");
    std::string v6 = dir.path("tcp6");
    tables(const std::string& v4Lines, const std::string& v6Lines) {
        dir.write("tcp", header + v4Lines);
        dir.write("tcp6", header + v6Lines);
    }
    int find(int port, unsigned int uid, unsigned int* owner) {
        return findOtherUsersListenerIn(v4.c_str(), v6.c_str(), port, uid, owner);
    }
};

TEST(SocketOwners, AListenerOfAnotherUserOnAnAddressThatTakesLoopbackIsFound) {
    for (const std::string& v4 : {loopback, any}) {
        tables t(entry(v4, 8123, "0A", 65534), "");
        unsigned int owner = 0;
        EXPECT_EQ(1, t.find(8123, 0, &owner)) << v4;
        EXPECT_EQ(65534u, owner);
        EXPECT_EQ(0, t.find(8123, 65534, &owner)) << "the user's own listener";
        EXPECT_EQ(0, t.find(8124, 0, &owner)) << "another port";
    }
    for (const std::string& v6 : {mappedLoopback, mappedAny, v6Any}) {
        tables t("", entry(v6, 8123, "0A", 1000));
        unsigned int owner = 0;
        EXPECT_EQ(1, t.find(8123, 0, &owner)) << v6;
        EXPECT_EQ(1000u, owner);
    }
}

TEST(SocketOwners, OtherStatesAndAddressesDoNotCount) {
    unsigned int owner = 0;
    tables established(entry(loopback, 8123, "01", 65534), entry(v6Loopback, 8123, "0A", 65534));
    EXPECT_EQ(0, established.find(8123, 0, &owner));
    tables elsewhere(entry(word(0x0A000001), 8123, "0A", 65534), "");
    EXPECT_EQ(0, elsewhere.find(8123, 0, &owner));
    tables own(entry(loopback, 8123, "0A", 0), entry(mappedLoopback, 8123, "0A", 0));
    EXPECT_EQ(0, own.find(8123, 0, &owner));
}

TEST(SocketOwners, TablesThatCannotBeReadTellNothing) {
    unsigned int owner = 0;
    scratchDir dir;
    EXPECT_EQ(-1, findOtherUsersListenerIn(dir.path("none").c_str(), dir.path("none6").c_str(),
                                           8123, 0, &owner));
    std::string v6 = dir.write("tcp6", header + entry(v6Any, 8123, "0A", 7));
    EXPECT_EQ(1, findOtherUsersListenerIn(dir.path("none").c_str(), v6.c_str(), 8123, 0, &owner));
    EXPECT_EQ(7u, owner);
}
