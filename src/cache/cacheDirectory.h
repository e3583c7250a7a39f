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

// The modification time that an archive is given when it is put in place.
// Whatever writes to it afterwards, a truncation included, changes that
// time, and the JVM maps an archive without checking its length (a
// truncated one crashes JDK 17).
long long getArchiveStamp(unsigned long long key);

// A regular file (not a link) owned by the effective user, not writable by
// its group or others, not empty, that still bears the stamp.
int isTrustedArchive(const char* path, long long stamp);

// Gives the archive the stamp; 0 when that failed.
int stampArchive(const char* path, long long stamp);

// Room for a training run: a write that fails while the JVM writes its
// archive ends the application with the JVM's error, so none is started
// without ample free space or under a file size limit.
int hasRoomToTrain(const char* directory);

#endif
