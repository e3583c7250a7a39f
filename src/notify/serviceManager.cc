#include "notify/serviceManager.h"

#include "unix/exePath.h"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

static int managerSocket = -1;
static struct sockaddr_un managerAddress;
static socklen_t managerAddressLength = 0;

int parseNotifyAddress(const char* text, struct sockaddr_un* address, unsigned int* length) {
    size_t textLength = text != nullptr ? strlen(text) : 0;
    if (textLength < 2 || textLength >= sizeof address->sun_path ||
        (text[0] != '/' && text[0] != '@')) {
        return 0;
    }
    memset(address, 0, sizeof *address);
    address->sun_family = AF_UNIX;
    memcpy(address->sun_path, text, textLength);
    // An abstract name starts with a zero byte and is as long as it is
    // written; a path ends with one.
    if (text[0] == '@') {
        address->sun_path[0] = 0;
        *length = (unsigned int)(offsetof(struct sockaddr_un, sun_path) + textLength);
    } else {
        *length = (unsigned int)(offsetof(struct sockaddr_un, sun_path) + textLength + 1);
    }
    return 1;
}

int openServiceManager() {
    if (managerSocket >= 0) {
        return 1;
    }
    const char* text = getenv("NOTIFY_SOCKET");
    if (text == nullptr) {
        return 0;
    }
    unsigned int length = 0;
    if (!parseNotifyAddress(text, &managerAddress, &length)) {
        if (debug) {
            printf("Not notifying the service manager: NOTIFY_SOCKET '%s' is no socket address\n",
                   text);
        }
        return 0;
    }
    managerAddressLength = (socklen_t)length;
    // Never waits: a manager that does not read must not hold up the relay,
    // nor the stop signal's handler.
    managerSocket = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    return managerSocket >= 0;
}

int isServiceManaged() {
    return managerSocket >= 0;
}

// Why a datagram was not taken, in words that need no strerror (not safe in
// a signal handler).
static const char* describeRefusal(int reason) {
    switch (reason) {
    case EAGAIN:
        return "its queue is full";
    case ECONNREFUSED:
    case ENOENT:
        return "nothing listens on its socket";
    case EMSGSIZE:
    case ENOBUFS:
        return "the message is too large";
    default:
        return "the socket refused it";
    }
}

// Appends length bytes of text to the line of capacity bytes, as far as they
// fit; returns the new length.
static size_t appendBounded(char* line, size_t at, size_t capacity, const char* text,
                            size_t length) {
    size_t room = capacity - at;
    size_t taken = length < room ? length : room;
    memcpy(line + at, text, taken);
    return at + taken;
}

// The +DEBUG line for a dropped message: written in one call, without stdio,
// as in a signal handler; the message up to its first line end (a message
// longer than the line is cut there, the line end kept).
static void reportDropped(const char* text, int reason) {
    const char intro[] = "Not notifying the service manager of '";
    const char middle[] = "': ";
    const char* why = describeRefusal(reason);
    char line[4096];
    size_t capacity = sizeof line - 1;
    size_t at = appendBounded(line, 0, capacity, intro, strlen(intro));
    at = appendBounded(line, at, capacity, text, strcspn(text, "\n"));
    at = appendBounded(line, at, capacity, middle, strlen(middle));
    at = appendBounded(line, at, capacity, why, strlen(why));
    line[at++] = '\n';
    ssize_t written;
    do {
        written = write(STDOUT_FILENO, line, at);
    } while (written < 0 && errno == EINTR);
}

void notifyServiceManager(const char* text) {
    if (managerSocket < 0) {
        return;
    }
    int savedErrno = errno;
    ssize_t sent;
    do {
        sent = sendto(managerSocket, text, strlen(text), MSG_NOSIGNAL | MSG_DONTWAIT,
                      (const struct sockaddr*)&managerAddress, managerAddressLength);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0 && debug) {
        reportDropped(text, errno == EWOULDBLOCK ? EAGAIN : errno);
    }
    errno = savedErrno;
}

void notifyStopping() {
    notifyServiceManager("STOPPING=1");
}

void notifyReloading() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    unsigned long long microseconds =
        (unsigned long long)now.tv_sec * 1000000ull + (unsigned long long)now.tv_nsec / 1000ull;
    char text[64];
    snprintf(text, sizeof text, "RELOADING=1\nMONOTONIC_USEC=%llu", microseconds);
    notifyServiceManager(text);
}

static int isPositiveNumber(const char* text) {
    if (text == nullptr || text[0] == 0) {
        return 0;
    }
    char* end = nullptr;
    errno = 0;
    unsigned long long value = strtoull(text, &end, 10);
    return errno == 0 && *end == 0 && value > 0 && text[0] != '-';
}

int isWatchdogWanted() {
    if (!isPositiveNumber(getenv("WATCHDOG_USEC"))) {
        return 0;
    }
    const char* pid = getenv("WATCHDOG_PID");
    return pid == nullptr || (isPositiveNumber(pid) && atol(pid) == (long)getpid());
}
