#ifndef LARKWIN_UNIX_FAILUREREASON_H
#define LARKWIN_UNIX_FAILUREREASON_H

// The reason of a failed system call, kept for whoever reports it. A message
// whose words are fixed keeps them; the reason reaches +DEBUG on a line of
// its own, and errno still holds it when the message is thrown, so that a
// caller (the packer) can add strerror(errno) to what it prints.

// Under +DEBUG, prints "REASON: what 'path': strerror(cause)" on standard
// output. errno is left as it was.
void reportFailureReason(const char* what, const char* path, int cause);
// Throws message (an owned string) with errno set to cause, which making the
// message or cleaning up after the failure may have changed.
[[noreturn]] void throwWithReason(char* message, int cause);
// "Unable to open '%s'" naming path, the reason (errno) reported as above.
[[noreturn]] void throwUnableToOpen(const char* path);

#endif
