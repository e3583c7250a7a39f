#include "notify/applicationChannel.h"

#include "notify/serviceManager.h"
#include "unix/exePath.h"
#include "util/owned.h"
#include "util/strings.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

// Without a descriptor that tells the child's end (Linux before 5.3), the
// launcher looks at the child this often.
static const int childCheckMillis = 200;

// The status text up to its first control character (systemd splits a
// message at a line feed and at a carriage return) and at most
// longestStatusText bytes, cut where a UTF-8 character begins.
static size_t measureStatusText(const char* text) {
    size_t length = 0;
    while (length < longestStatusText && (unsigned char)text[length] >= 0x20 &&
           text[length] != 0x7f) {
        length++;
    }
    if (length == longestStatusText) {
        while (length > 0 && ((unsigned char)text[length] & 0xc0) == 0x80) {
            length--;
        }
    }
    return length;
}

char* createManagerMessage(const char* line, int watchdog) {
    if (strcmp(line, "ready") == 0) {
        return createStringCopy("READY=1");
    }
    if (strcmp(line, "stopping") == 0) {
        return createStringCopy("STOPPING=1");
    }
    if (strcmp(line, "alive") == 0) {
        return watchdog ? createStringCopy("WATCHDOG=1") : nullptr;
    }
    if (startsWith(line, "status ")) {
        const char* text = line + strlen("status ");
        size_t length = measureStatusText(text);
        ownedString kept(new char[length + 1]);
        memcpy(kept.get(), text, length);
        kept[length] = 0;
        return createString("STATUS=", kept.get());
    }
    return nullptr;
}

applicationChannel::applicationChannel(int open)
    : readingEnd(-1), writingEnd(-1), watchdog(0), pendingLength(0), discarding(0) {
    if (!open || !openServiceManager()) {
        return;
    }
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        return;
    }
    readingEnd = ends[0];
    writingEnd = ends[1];
    // Read until nothing is left, never waiting: the launcher waits in poll.
    fcntl(readingEnd, F_SETFL, O_NONBLOCK);
    watchdog = isWatchdogWanted();
    if (debug) {
        printf("NOTIFY_SOCKET is set: the application's readiness, status and stop%s pass on "
               "to it through descriptor %d\n",
               watchdog ? ", and watchdog pings," : "", writingEnd);
    }
}

applicationChannel::~applicationChannel() {
    closeWritingEnd();
    if (readingEnd >= 0) {
        close(readingEnd);
    }
}

char* applicationChannel::createPropertyOption() const {
    char number[16];
    snprintf(number, sizeof number, "%d", writingEnd);
    return createString("-Dlarkwin.notify.fd=", number);
}

void applicationChannel::prepareChild() const {
    if (writingEnd >= 0) {
        fcntl(writingEnd, F_SETFD, 0);
    }
}

void applicationChannel::closeWritingEnd() {
    if (writingEnd >= 0) {
        close(writingEnd);
        writingEnd = -1;
    }
}

// Sends each complete line; a line longer than the buffer is dropped whole.
void applicationChannel::relayLines() {
    size_t start = 0;
    for (size_t i = 0; i < pendingLength; i++) {
        if (pending[i] != '\n') {
            continue;
        }
        pending[i] = 0;
        ownedString message(discarding ? nullptr : createManagerMessage(pending + start, watchdog));
        if (message) {
            notifyServiceManager(message.get());
        }
        discarding = 0;
        start = i + 1;
    }
    memmove(pending, pending + start, pendingLength - start);
    pendingLength -= start;
    if (pendingLength == sizeof pending) {
        discarding = 1;
        pendingLength = 0;
    }
}

// Reads what is there; 0 once every writer has closed its end.
int applicationChannel::readAvailable() {
    for (;;) {
        ssize_t got = read(readingEnd, pending + pendingLength, sizeof pending - pendingLength);
        if (got > 0) {
            pendingLength += (size_t)got;
            relayLines();
        } else if (got == 0) {
            return 0;
        } else if (errno != EINTR) {
            return 1;
        }
    }
}

// Not reaped, so that its pid stays its own. A failure to look counts as
// the end: the caller's wait then reports it.
static int hasEnded(pid_t child) {
    siginfo_t info;
    info.si_pid = 0;
    if (waitid(P_PID, child, &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
        return errno != EINTR;
    }
    return info.si_pid == child;
}

static int openProcessDescriptor(pid_t child) {
#ifdef SYS_pidfd_open
    return (int)syscall(SYS_pidfd_open, child, 0);
#else
    (void)child;
    return -1;
#endif
}

void applicationChannel::relayUntilEnded(pid_t child) {
    if (readingEnd < 0) {
        return;
    }
    int ended = openProcessDescriptor(child);
    while (!hasEnded(child)) {
        struct pollfd watched[2] = {{readingEnd, POLLIN, 0}, {ended, POLLIN, 0}};
        int ready = poll(watched, ended >= 0 ? 2 : 1, ended >= 0 ? -1 : childCheckMillis);
        if (ready > 0 && (watched[0].revents & (POLLIN | POLLHUP)) != 0 && !readAvailable()) {
            break;
        }
    }
    // What the application said just before it ended.
    readAvailable();
    if (ended >= 0) {
        close(ended);
    }
}
