#ifndef LARKWIN_UNIX_FILES_H
#define LARKWIN_UNIX_FILES_H

#include <cstddef>

// File names and file contents. The create* functions return owned strings;
// failures to open a file throw "Unable to open '%s'". Every failure thrown
// here leaves errno at its reason (failureReason.h).

const char* getPathSeparator();
const char* getLineTerminator();
int (*getFileStrCmp())(const char*, const char*);

// Sizes and offsets are 64-bit (long on the LP64 systems the launcher is
// built for), so that a bundle over 2 GiB is read at the right places.

// The size of a regular file. A directory cannot be opened; a file whose
// size seeking cannot tell (a pipe, a terminal) gives -1.
long getFileSize(const char* path);
// At most length bytes from offset on, then a NUL; a short read gives a
// shorter string. A negative length gives the empty string.
char* createFileContent(const char* path, long offset, int length);
// Everything the file holds, read to its end: works for pipes and FIFOs too.
// Null when it holds more than limit bytes; no more than limit + 1 are read.
// When owner is given, it receives the uid of the file that was opened (-1
// when that cannot be told), which a name swapped meanwhile cannot change.
char* createWholeFileContent(const char* path, size_t limit, long* owner = nullptr);
char* createAbsolutePath(const char* base, const char* path);
void deleteTempFile(const char* path);

// The current working directory, whatever its length; null if it is gone.
char* createWorkingDirectory();
// The directory part of path as written: everything before its last slash,
// "/" for an entry of the root, "." for a name without a slash. Nothing is
// resolved. Owned by the caller.
char* createParentPath(const char* path);
// 1 when nothing exists at path (a dangling link included): looking it up
// fails with ENOENT, or with ENOTDIR because a component on the way is no
// directory (HOME=/dev/null, ~/.config/NAME being a file). Any other
// failure, such as a directory on the way that may not be searched, gives 0.
int isMissingFile(const char* path);
// realpath() into an owned string, or null when the path cannot be resolved.
char* createCanonicalPath(const char* path);
// Makes the directory and those above it that are missing, with mode 0755
// (less the umask). Throws "Unable to create '%s'" naming path.
void makeDirectories(const char* path);

#endif
