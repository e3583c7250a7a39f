#ifndef LARKWIN_UNIX_REMOVALONSIGNAL_H
#define LARKWIN_UNIX_REMOVALONSIGNAL_H

#include <sys/types.h>

// Temporary files and directories that a program removes even when SIGTERM,
// SIGINT, SIGHUP or SIGQUIT ends it half-way. Other exit paths remove them as their
// owners always did (destructors, catch blocks); this covers the signals.
// At most a few are registered at once; beyond that a name is not covered.

// Installs handlers for the four signals (one ignored when the program
// started stays ignored): each first ends the registered process groups,
// then removes what is registered, using only async-signal-safe calls, then
// ends the program by the same signal.
void removeRegisteredOnTermination();
// mkstemp (the descriptor, or -1) and mkdtemp (1 when made) whose result is
// registered at once, with the signals held back in between so that no name
// is made unregistered. The template is changed as they change it and must
// stay alive while it is registered.
int openRegisteredFile(char* nameTemplate);
int makeRegisteredDirectory(char* nameTemplate);
// A directory that is removed when it is empty, after everything else; the
// name is borrowed, as a template is.
void registerEmptyDirectory(const char* name);
// The name is removed from the list (not from the file system).
void unregisterRemoval(const char* name);
// fork, with the child made the leader of a process group of its own that a
// termination signal ends (SIGTERM, then SIGKILL after a few seconds) before
// anything is removed, so that no tool goes on writing into what is removed.
// The signals are held back in between, and the child gets the signal mask
// that the caller had. The group stays registered until
// unregisterProcessGroup, to be called once the child has been waited for.
pid_t forkRegisteredGroup();
void unregisterProcessGroup(pid_t group);

#endif
