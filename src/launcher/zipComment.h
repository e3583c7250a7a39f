#ifndef LARKWIN_LAUNCHER_ZIPCOMMENT_H
#define LARKWIN_LAUNCHER_ZIPCOMMENT_H

// The configuration that a zip archive appended to a file carries as its
// comment. Integers in the archive are little-endian.

// The unsigned 16-bit value of the two bytes at position.
int get2LE(const unsigned char* buffer, int position);
// The 32-bit value of the four bytes at position.
int get4LE(const unsigned char* buffer, int position);

// The position of the end-of-central-directory record whose comment runs to
// the last byte of a file of fileSize bytes (at least 22), or -1 when there is
// none. The record nearest the end of the file wins.
long findZipEndRecord(const char* fileName, long fileSize);

// The comment of the archive appended to the file, as a new owned string; null
// when the file has no qualifying end record. Throws "Zip file size is
// unreasonably small" for a file under 22 bytes.
char* getZipComment(const char* fileName);

#endif
