#ifndef LARKWIN_PROCESS_BROKENPIPE_H
#define LARKWIN_PROCESS_BROKENPIPE_H

// A standard output whose reader has gone (a pager that quit, "| head") must
// not end the launcher by SIGPIPE in the middle of a launch: that would lose
// the application's exit status and leave the environment dump behind. After
// this call a write to such a pipe fails with EPIPE instead. A handler is
// installed rather than SIG_IGN, because exec resets a handler: java still
// starts with the default action. When SIGPIPE was already ignored at start,
// nothing changes, so java inherits that as before.
void surviveBrokenPipe();

#endif
