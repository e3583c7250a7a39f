#ifndef LARKWIN_PROCESS_STOPREQUEST_H
#define LARKWIN_PROCESS_STOPREQUEST_H

#include <csignal>
#include <ctime>

// A SIGTERM, SIGINT or SIGHUP sent to the launcher while its child runs, or
// after the child ended, asks the launcher to stop: it exits with the child's
// code instead of restarting. A signal the launcher was started with ignored
// (SIGHUP under nohup) asks nothing.
//
// The signal forwarding calls watchStopSignals before it installs its
// handlers, noteStopSignal from its handler, and holdStopSignals once the
// child has ended: from then on the stop signals are blocked, so that one
// that comes before the launcher has decided waits, pending, instead of being
// lost or ending the launcher by its default action. Nothing here throws.

// Notes which stop signals count: those not ignored now.
void watchStopSignals();
// Records signal as a stop request if it counts. Safe in a signal handler.
void noteStopSignal(int signal);
// Blocks the stop signals that count; releaseStopSignals later restores
// maskToRestore.
void holdStopSignals(const sigset_t& maskToRestore);
// 1 when a stop was recorded or a stop signal is pending now, else 0.
int isStopRequested();
// Waits until the monotonic clock reaches deadline, or a held stop signal
// comes (then it is recorded and the result is 1).
int awaitUnlessStopped(const struct timespec& deadline);
// Restores the mask held. From now on (until the process image is replaced)
// a stop signal ends the launcher at once with exitCode.
void releaseStopSignals(int exitCode);

#endif
