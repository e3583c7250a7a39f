#ifndef LARKWIN_LAUNCHER_OPENCOMMAND_H
#define LARKWIN_LAUNCHER_OPENCOMMAND_H

// What "+SHELL" sends to a running instance for one application parameter.

// 1 when parameter is taken for a URL: it begins with a scheme of two or more
// characters (a letter, then letters, digits, "+", "-" or "."; RFC 3986)
// followed by ":", and names no file or directory seen from the working
// directory. One letter and a colon ("C:") is a drive, not a scheme.
int isUrlParameter(const char* parameter);

// "open " followed by the parameter as it stands when it is a URL, otherwise
// by its absolute path. Owned.
char* createOpenCommand(const char* parameter);

#endif
