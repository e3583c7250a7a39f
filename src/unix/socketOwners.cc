#include "unix/socketOwners.h"

#include <arpa/inet.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static const unsigned int listening = 0x0A;

// The tables print each 32-bit word of an address as the hexadecimal value
// it has in memory, which is network byte order read as a host integer.
static int readWords(const char* hex, uint32_t* words, int count) {
    if ((int)strlen(hex) != count * 8) {
        return 0;
    }
    for (int i = 0; i < count; i++) {
        char word[9];
        memcpy(word, hex + i * 8, 8);
        word[8] = 0;
        words[i] = (uint32_t)strtoul(word, nullptr, 16);
    }
    return 1;
}

static int takesLoopbackV4(const char* hex) {
    uint32_t address;
    return readWords(hex, &address, 1) &&
           (address == htonl(INADDR_LOOPBACK) || address == htonl(INADDR_ANY));
}

// ::, and the IPv4-mapped forms of 127.0.0.1 and 0.0.0.0.
static int takesLoopbackV6(const char* hex) {
    uint32_t words[4];
    if (!readWords(hex, words, 4) || words[0] != 0 || words[1] != 0) {
        return 0;
    }
    if (words[2] == 0) {
        return words[3] == 0;
    }
    return words[2] == htonl(0xFFFF) &&
           (words[3] == htonl(INADDR_LOOPBACK) || words[3] == htonl(INADDR_ANY));
}

// Scans one table; -1 when it cannot be opened.
static int scanTable(const char* table, int v6, int port, unsigned int uid, unsigned int* owner) {
    FILE* file = fopen(table, "r");
    if (file == nullptr) {
        return -1;
    }
    int found = 0;
    char line[512];
    while (!found && fgets(line, sizeof line, file) != nullptr) {
        char local[33];
        unsigned int localPort, state, lineUid;
        if (sscanf(line, " %*d: %32[0-9A-Fa-f]:%x %*32[0-9A-Fa-f]:%*x %x %*x:%*x %*x:%*x %*x %u",
                   local, &localPort, &state, &lineUid) != 4) {
            continue;
        }
        if (state == listening && (int)localPort == port && lineUid != uid &&
            (v6 ? takesLoopbackV6(local) : takesLoopbackV4(local))) {
            *owner = lineUid;
            found = 1;
        }
    }
    fclose(file);
    return found;
}

int findOtherUsersListenerIn(const char* tcpTable, const char* tcp6Table, int port,
                             unsigned int uid, unsigned int* owner) {
    int v4 = scanTable(tcpTable, 0, port, uid, owner);
    if (v4 == 1) {
        return 1;
    }
    int v6 = scanTable(tcp6Table, 1, port, uid, owner);
    if (v6 == 1) {
        return 1;
    }
    return v4 < 0 && v6 < 0 ? -1 : 0;
}

int findOtherUsersListener(int port, unsigned int uid, unsigned int* owner) {
    return findOtherUsersListenerIn("/proc/net/tcp", "/proc/net/tcp6", port, uid, owner);
}
