#ifndef LARKWIN_UTIL_STRINGS_H
#define LARKWIN_UTIL_STRINGS_H

// Owned strings: every function here returns a new array (array new) that the
// caller releases with delete[].

char* createStringCopy(const char* s);
char* createString(const char* a, const char* b);

// Formats a message (printf conversions, usually "%s") into an array of
// exactly the size it needs, so a message naming a long path is never cut or
// overflowed. The one way both programs make a message from several parts.
char* createMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));

// 1 when text begins with prefix, else 0.
int startsWith(const char* text, const char* prefix);

#endif
