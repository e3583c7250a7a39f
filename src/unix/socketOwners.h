#ifndef LARKWIN_UNIX_SOCKETOWNERS_H
#define LARKWIN_UNIX_SOCKETOWNERS_H

// Who owns the sockets on this machine, from the kernel's tables of TCP
// sockets (Linux: /proc/net/tcp and /proc/net/tcp6). The single-instance
// port is a TCP port anybody may take, so the launcher sends nothing to a
// listener of another user.

// Looks at every socket listening on port that takes connections to
// 127.0.0.1 (bound to it, to 0.0.0.0, to ::ffff:127.0.0.1 or to ::). 1 when
// one belongs to a user other than uid, whose uid is then stored in *owner;
// 0 when none does (or none listens); -1 when the tables cannot be read,
// where nothing can be told.
int findOtherUsersListener(int port, unsigned int uid, unsigned int* owner);
// The same over the given tables (a table that cannot be opened counts as
// unreadable).
int findOtherUsersListenerIn(const char* tcpTable, const char* tcp6Table, int port,
                             unsigned int uid, unsigned int* owner);

#endif
