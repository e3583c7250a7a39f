#ifndef LARKWIN_PACK_PACKAGE_PACKAGEFIELDS_H
#define LARKWIN_PACK_PACKAGE_PACKAGEFIELDS_H

// The checks that the values naming a package pass, so that dpkg and rpm
// accept them and they may stand in paths, desktop entries and XML as they are.

// A Debian package name, which rpm accepts too: a lower-case letter or digit,
// then at least one more of those or "+", "-", ".".
int isPackageName(const char* name);

// A version both dpkg and rpm read alike: a digit, then letters, digits, "+",
// "." or "~" (no "-", which would start a Debian revision or an rpm release).
int isPackageVersion(const char* version);

// One line of printable text, of at least one character.
int isOneLine(const char* text);

// A URL scheme (RFC 3986: a letter, then letters, digits, "+", "-", ".").
int isUrlScheme(const char* scheme);

// One file type of "--file-type EXT,MIME,DESCRIPTION", cut into its three
// owned parts; the extension is given without its dot.
struct fileType {
    fileType() : extension(nullptr), mimeType(nullptr), description(nullptr) {}
    ~fileType();
    fileType(const fileType&) = delete;
    fileType& operator=(const fileType&) = delete;
    char* extension;
    char* mimeType;
    char* description;
};

// Fills type from text; null when it is well formed, otherwise an owned
// message saying what is wrong.
char* parseFileType(const char* text, fileType* type);

#endif
