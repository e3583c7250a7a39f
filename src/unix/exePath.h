#ifndef LARKWIN_UNIX_EXEPATH_H
#define LARKWIN_UNIX_EXEPATH_H

// The launcher's own executable, the argument vector it was started with (for
// re-execution) and the flags of its command-line switches.
extern char* HACKexePath;
extern char** HACKargv;
extern int debug;
extern int gui;
extern int shell;

// 1 if a file system entry of that name exists (any type), else 0.
int testFile(const char* path);
// The absolute path of the executable that name designates, searching "PATH"
// for a bare name; null when there is none. Owned by the caller.
char* createExePath(const char* name);
// The canonical path of HACKexePath. Owned by the caller.
char* getExecutablePath();
// Replaces the process image with HACKexePath and HACKargv; returns only when
// that fails.
void HACKrestart();

#endif
