#ifndef LARKWIN_NOTIFY_SERVICEMANAGER_H
#define LARKWIN_NOTIFY_SERVICEMANAGER_H

// The service manager (systemd) that started the launcher as a service's main
// process, reached through the datagram socket that "NOTIFY_SOCKET" names (a
// path, or an abstract name written with a leading '@'). Without that
// variable nothing here opens, sends or changes anything.

// Opens a socket to the manager once per process; 1 when it is usable.
int openServiceManager();
// 1 once openServiceManager has succeeded.
int isServiceManaged();
// Sends the text as one datagram, never waiting: when the manager's queue is
// full, or the manager is gone, the message is dropped (the application must
// not suffer for it), with a line on standard output under +DEBUG. Safe in a
// signal handler.
void notifyServiceManager(const char* text);
// "STOPPING=1". Safe in a signal handler.
void notifyStopping();
// "RELOADING=1" with the monotonic clock's time.
void notifyReloading();
// 1 when the manager asked this process for watchdog pings: "WATCHDOG_USEC"
// is a positive number and "WATCHDOG_PID", if set, names this process.
int isWatchdogWanted();

// The address of "NOTIFY_SOCKET" text; 0 when it is not a usable address.
struct sockaddr_un;
int parseNotifyAddress(const char* text, struct sockaddr_un* address, unsigned int* length);

#endif
