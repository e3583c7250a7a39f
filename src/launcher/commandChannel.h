#ifndef LARKWIN_LAUNCHER_COMMANDCHANNEL_H
#define LARKWIN_LAUNCHER_COMMANDCHANNEL_H

// The client side of the channel to a running instance of the application:
// one command per TCP connection, the command's bytes and nothing else.

// Sends command to host (a numeric IPv4 address; names are not looked up) on
// the low 16 bits of port. 1 when it was sent and the connection closed cleanly, 0 otherwise;
// with debug set, a failure is explained on standard error.
int sendCommand(const char* host, int port, const char* command);

#endif
