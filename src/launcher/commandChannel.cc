#include "launcher/commandChannel.h"

#include "unix/exePath.h"
#include "unix/socketOwners.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

// An instance that does not take the connection (its backlog full, or it
// hangs) must not hold the launcher for the kernel's minutes of retries.
static const int connectMillis = 2000;
// How long the launcher keeps its end open for the instance to close its own.
static const int closeWaitMillis = 5000;

static void explain(const char* message) {
    if (debug) {
        fprintf(stderr, "%s", message);
    }
}

// The numeric IPv4 address host with the low 16 bits of port; 0 for anything
// else. No name is looked up: the launcher connects only to 127.0.0.1, and a
// static launcher could look names up only through the C library's modules of
// the very version it was linked with.
static int lookUp(const char* host, int port, struct sockaddr_in* address) {
    memset(address, 0, sizeof *address);
    address->sin_family = AF_INET;
    address->sin_port = htons((uint16_t)(port & 0xFFFF));
    return inet_pton(AF_INET, host, &address->sin_addr) == 1;
}

// Another user may have taken the port on 127.0.0.1 first; such a listener
// would receive the paths, and the application would never start. Where the
// socket tables cannot be read, nothing can be told and the command is sent.
static int heldByOtherUser(const struct sockaddr_in* address) {
    if (address->sin_addr.s_addr != htonl(INADDR_LOOPBACK)) {
        return 0;
    }
    int port = ntohs(address->sin_port);
    unsigned int owner = 0;
    if (findOtherUsersListener(port, (unsigned int)geteuid(), &owner) != 1) {
        return 0;
    }
    if (debug) {
        fprintf(stderr,
                "Not sending to 127.0.0.1:%d: its listener belongs to another user (uid %u)\n",
                port, owner);
    }
    return 1;
}

// connect() within connectMillis; the socket is blocking again afterwards.
static int connectWithin(int channel, const struct sockaddr_in* address) {
    int flags = fcntl(channel, F_GETFL);
    if (flags < 0 || fcntl(channel, F_SETFL, flags | O_NONBLOCK) != 0) {
        return 0;
    }
    int connected = connect(channel, (const struct sockaddr*)address, sizeof *address) == 0;
    if (!connected && errno == EINPROGRESS) {
        struct pollfd ready = {channel, POLLOUT, 0};
        int error = 0;
        socklen_t length = sizeof error;
        connected = poll(&ready, 1, connectMillis) == 1 &&
                    getsockopt(channel, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
    }
    return fcntl(channel, F_SETFL, flags) == 0 && connected;
}

static long millisecondsNow() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (long)now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

// The instance tells who sent a command by looking the sending socket up in
// the kernel's tables, and a closed socket no longer shows its owner there.
// So the launcher ends its side for writing (the instance sees the end of
// the command, as at a close) and keeps the socket until the instance has
// closed its own, for a bounded time. What it reads meanwhile is discarded.
static void awaitPeerClose(int channel) {
    if (shutdown(channel, SHUT_WR) != 0) {
        return;
    }
    long deadline = millisecondsNow() + closeWaitMillis;
    char discarded[256];
    for (long left = closeWaitMillis; left > 0; left = deadline - millisecondsNow()) {
        struct pollfd readable = {channel, POLLIN, 0};
        if (poll(&readable, 1, (int)left) != 1 ||
            recv(channel, discarded, sizeof discarded, 0) <= 0) {
            return;
        }
    }
}

int sendCommand(const char* host, int port, const char* command) {
    if (debug) {
        printf("sendCommand %s\n", command);
    }
    struct sockaddr_in address;
    if (!lookUp(host, port, &address) || heldByOtherUser(&address)) {
        return 0;
    }
    int channel = socket(AF_INET, SOCK_STREAM, 0);
    if (channel < 0) {
        explain("Can't create socket\n");
        return 0;
    }
    // A refused or timed-out connection shows as the failure of the send.
    int connected = connectWithin(channel, &address);
    // 0: a peer that refused or reset the connection must not end
    // the launcher with SIGPIPE.
    if (!connected || send(channel, command, strlen(command), MSG_NOSIGNAL) < 0) {
        explain("Can't send message\n");
        close(channel);
        return 0;
    }
    awaitPeerClose(channel);
    if (close(channel) != 0) {
        explain("Error on closing socket\n");
        return 0;
    }
    return 1;
}
