#ifndef LARKWIN_PROCESS_CHILDPROCESS_H
#define LARKWIN_PROCESS_CHILDPROCESS_H

#include "notify/applicationChannel.h"
#include "process/signalForwarding.h"

#include <sys/types.h>

// Runs path with the null-terminated argument vector as a child process,
// passing on the stop signals sent to the launcher meanwhile, and waits for
// it. Returns its exit status, 128 + n when signal n ended it, or 127 when
// path could not be executed (the child then says why on standard error).
// Throws "fork failed: %s", "waitpid failed: %s", and the failures of setting up
// the signal forwarding: "sigprocmask failed: %s", "sigaction failed: %s".
int runChildProcess(char* path, char** arguments);
// The same with a forwarding the caller made beforehand (so that the stop
// signals are held while it prepares what the child needs), relaying the
// application's messages on channel (when open) to the service manager while
// the child runs; *childPid is its pid afterwards, and *cpuMicroseconds
// (when given) the CPU time, user and system, that it spent.
int runChildProcess(signalForwarding& forwarding, char* path, char** arguments,
                    applicationChannel& channel, pid_t* childPid,
                    long long* cpuMicroseconds = nullptr);

#endif
