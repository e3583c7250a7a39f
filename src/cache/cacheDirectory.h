#ifndef LARKWIN_CACHE_CACHEDIRECTORY_H
#define LARKWIN_CACHE_CACHEDIRECTORY_H

// Where start-up archives are kept, and whether a directory or an archive
// there may be trusted: an archive holds class data that the JVM runs, so
// only what the user alone can write is used.

// "$XDG_CACHE_HOME/larkwin", else "$HOME/.cache/larkwin"; a variable that is
// empty or not an absolute path counts as unset. Null when neither is set.
// Owned by the caller.
char* createDefaultCacheDirectory(const char* xdgCacheHome, const char* home);

// Creates the directory and any missing parent, each with mode 0700. 0 when
// it exists afterwards, else the errno of the step that failed.
int makeCacheDirectory(const char* path);

// A directory (symbolic links followed) owned by the effective user that
// neither its group nor others may write to.
int isTrustedDirectory(const char* path);

// Whether others could put another directory in its place: its parent, as
// named or as its canonical path resolves, is a directory that others may
// write to without the sticky bit (as configuration files are checked).
int isReplaceableByOthers(const char* path);

// Why an archive of about expectedSize bytes could not be written into the
// directory now, or null when it could: a file system mounted read-only, too
// little room for it (twice its size, as others write meanwhile), a file size
// limit below it, or a directory that does not take a new file (its mode, an
// ACL, a full inode table). A disk that fills while the archive is written
// is still possible; it costs that archive, never the application's run.
// Owned by the caller.
char* createWriteRefusal(const char* directory, unsigned long long expectedSize);

#endif
