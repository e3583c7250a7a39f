#ifndef LARKWIN_PROCESS_SIGNALFORWARDING_H
#define LARKWIN_PROCESS_SIGNALFORWARDING_H

#include <signal.h>
#include <sys/types.h>

// While the launcher waits for its child, the stop signals that another
// process sends to the launcher (SIGTERM, SIGHUP, SIGINT, SIGQUIT, SIGUSR1,
// SIGUSR2 by kill) are passed on to the child, so that stopping the launcher
// never leaves the application running. The terminal sends its signals to the
// whole foreground process group, which holds the child already: those are
// not passed on a second time.
//
// Use: construct before fork (the signals are blocked from then on, so none
// is lost before the child is known); in the child call prepareChild; in the
// launcher call forwardTo(child), and stop() once the child has ended. The
// destructor restores the launcher's previous handlers and signal mask, but
// leaves SIGTERM, SIGINT and SIGHUP blocked (held, see stopRequest.h) until
// the launcher has decided whether to restart.
class signalForwarding {
  public:
    // Throws "sigprocmask failed: %s" or "sigaction failed: %s" (with the
    // system's reason), having put back whatever it had changed.
    signalForwarding();
    ~signalForwarding();
    signalForwarding(const signalForwarding&) = delete;
    signalForwarding& operator=(const signalForwarding&) = delete;

    // The child gets the dispositions the launcher was started with (the
    // defaults, unless it was started with some ignored, as under nohup) and
    // an empty signal mask.
    void prepareChild() const;
    // Forwards to child from now on, including signals that came meanwhile.
    void forwardTo(pid_t child);
    void stop();

    static const int forwardedCount = 6;

  private:
    [[noreturn]] void undoAndThrow(const char* format, int installed);

    struct sigaction previousActions[forwardedCount];
    struct sigaction previousChildAction;
    sigset_t previousMask;
};

#endif
