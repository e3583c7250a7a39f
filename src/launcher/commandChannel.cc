#include "launcher/commandChannel.h"

#include "unix/exePath.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

static void explain(const char* message) {
    if (debug) {
        fprintf(stderr, "%s", message);
    }
}

// The first IPv4 address of host with the low 16 bits of port; 0 when the
// lookup fails.
static int lookUp(const char* host, int port, struct sockaddr_in* address) {
    struct addrinfo hints;
    memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    struct addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0 || found == nullptr) {
        return 0;
    }
    memset(address, 0, sizeof *address);
    address->sin_family = AF_INET;
    address->sin_port = htons((uint16_t)(port & 0xFFFF));
    address->sin_addr = ((struct sockaddr_in*)found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    return 1;
}

int sendCommand(const char* host, int port, const char* command) {
    if (debug) {
        printf("sendCommand %s\n", command);
    }
    struct sockaddr_in address;
    if (!lookUp(host, port, &address)) {
        return 0;
    }
    int channel = socket(AF_INET, SOCK_STREAM, 0);
    if (channel < 0) {
        explain("Can't create socket\n");
        return 0;
    }
    // A refused connection shows as the failure of the send that follows.
    int connected = connect(channel, (struct sockaddr*)&address, sizeof address) == 0;
    // 0: a peer that refused or reset the connection must not end
    // the launcher with SIGPIPE.
    if (!connected || send(channel, command, strlen(command), MSG_NOSIGNAL) < 0) {
        explain("Can't send message\n");
        close(channel);
        return 0;
    }
    if (close(channel) != 0) {
        explain("Error on closing socket\n");
        return 0;
    }
    return 1;
}
