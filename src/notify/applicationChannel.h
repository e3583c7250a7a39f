#ifndef LARKWIN_NOTIFY_APPLICATIONCHANNEL_H
#define LARKWIN_NOTIFY_APPLICATIONCHANNEL_H

#include <cstddef>
#include <sys/types.h>

// The way the application tells the service manager, through the launcher,
// that it is ready, what it is doing, that it is stopping and that it is
// still alive: systemd takes notifications only from the service's main
// process (the launcher), and Java has no datagram socket of the AF_UNIX
// family. The channel is a pipe whose writing end the JVM inherits; the
// option "-Dlarkwin.notify.fd=N" names it, and the application opens
// "/proc/self/fd/N" for writing (larkwin-app.jar does), with no native code.
// Only the JVM holds that end: the launcher closes its copy, and no other
// process can open it.
//
// The application writes one line per message: "ready", "status TEXT",
// "stopping" or "alive". The launcher sends "READY=1", "STATUS=TEXT",
// "STOPPING=1", and "WATCHDOG=1" (only when the manager asked for watchdog
// pings); other lines are ignored, and TEXT ends at its first control
// character and after longestStatusText bytes, so that nothing the
// application writes can become another assignment. A line longer than the
// channel's buffer is dropped whole.
class applicationChannel {
  public:
    // With open set, opens the pipe when the service manager is reachable;
    // otherwise the channel stays closed and every call does nothing.
    explicit applicationChannel(int open);
    ~applicationChannel();
    applicationChannel(const applicationChannel&) = delete;
    applicationChannel& operator=(const applicationChannel&) = delete;

    int isOpen() const { return readingEnd >= 0; }
    // "-Dlarkwin.notify.fd=N". Owned by the caller.
    char* createPropertyOption() const;
    // In the vfork child: lets the writing end survive exec. Only system
    // calls.
    void prepareChild() const;
    // In the launcher once the child runs: only the child may write now.
    void closeWritingEnd();
    // Passes the application's messages on until the child has ended (it is
    // not reaped), or the channel was closed by every writer.
    void relayUntilEnded(pid_t child);

  private:
    void relayLines();
    int readAvailable();

    int readingEnd;
    int writingEnd;
    int watchdog;
    char pending[4096];
    size_t pendingLength;
    int discarding;
};

// The most of a status text that is passed on, in bytes.
const size_t longestStatusText = 1024;

// The manager's text for one line of the application's; null for a line
// that is not a message (or "alive" without watchdog). Owned by the caller.
char* createManagerMessage(const char* line, int watchdog);

#endif
