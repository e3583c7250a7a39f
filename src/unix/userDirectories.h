#ifndef LARKWIN_UNIX_USERDIRECTORIES_H
#define LARKWIN_UNIX_USERDIRECTORIES_H

// The user's home and XDG base directories, as a configuration may name them.
// Every result is owned by the caller.

// The home directory of the entry for uid in a file of the passwd format
// (name:password:uid:gid:gecos:home:shell), when it is an absolute path;
// else null. The first entry for uid counts. No name service is asked: a
// static launcher cannot load the C library's modules for it, and a network
// directory has no place on the start-up path.
char* createPasswdHome(const char* passwdFile, unsigned uid);

// HOME when it is an absolute path, else the real user's home in
// /etc/passwd; null when neither names one.
char* createUserHome();

// An XDG base directory: the variable's value when it is an absolute path
// (the base directory rules ignore a relative one), else the user's home
// (createUserHome) followed by fallback, such as "/.config"; null when that
// is needed and there is no home.
char* createXdgDirectory(const char* variable, const char* fallback);

#endif
