#ifndef LARKWIN_PROCESS_EXITSTATUS_H
#define LARKWIN_PROCESS_EXITSTATUS_H

// The launcher's own exit statuses; otherwise it exits with the child's.

// A failure reported by the top-level handler; a parent sees 254.
const int exitReportedFailure = -2;
// The child could not execute java (the shell's convention).
const int exitCannotExecute = 127;
// A child ended by signal n is recorded as exitSignalBase + n.
const int exitSignalBase = 128;

#endif
