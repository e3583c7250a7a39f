#ifndef LARKWIN_PROCESS_RESTARTPACE_H
#define LARKWIN_PROCESS_RESTARTPACE_H

// An application that exits with its restart code at once must not make the
// launcher spin: restarts come at most about once a second. And a stop
// signal (see stopRequest.h) wins over the restart code.

#include <ctime>

// Notes that a child starts now.
void noteChildStart();
// When the next restart may come: a second after the last child's start.
struct timespec getRestartTurn();
// Restarts the launcher (HACKrestart) unless a stop was asked, after waiting
// for the turn of the last child's start; a stop signal that comes meanwhile
// ends the wait and the restart. Returns when there is no restart (also when
// the process image could not be replaced); from the restart on, a stop
// signal ends the launcher at once with exitCode.
void restartUnlessStopped(int exitCode);

#endif
