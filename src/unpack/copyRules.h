#ifndef LARKWIN_UNPACK_COPYRULES_H
#define LARKWIN_UNPACK_COPYRULES_H

#include <ctime>

// The rules an unpacked copy is held to: how it is named, when it is
// complete, whose it must be, and when it is old. A copy lives in the
// user's cache, ROOT/DIGEST (ROOT is createCopyRoot's folder), named by
// the digest of its content that the packer stored in the file.

// The name of the file written last into a copy: a copy without it is
// never used.
extern const char* const copyMarkName;

// 1 when text is a digest the packer writes: 64 lower-case hex digits.
int isCopyDigest(const char* text);

// ${XDG_CACHE_HOME:-$HOME/.cache}/larkwin/unpacked; null when neither
// names an absolute path.
char* createCopyRoot();

// The folder that holds the cache's own folders, ROOT's parent
// (.../larkwin): the owner check stops there.
char* createCacheTop(const char* root);

// 1 when a folder of this owner and mode may hold or be a copy the
// launcher runs: a directory of root or of the running user that neither
// its group nor others may write.
int isTrustedFolder(unsigned owner, unsigned mode);

// Why the copy, or a folder above it up to top, may not be used ("'PATH'
// belongs to user N", "'PATH' may be written by its group or others",
// "'PATH' is not a folder", or the system's reason); null when all pass.
// copy must lie under top.
char* createCopyRefusal(const char* copy, const char* top);

// 1 when the copy's mark is a regular file.
int hasCompletionMark(const char* copy);

// A copy that no start has used for this long is removed.
extern const long unusedCopySeconds;
// The last-used time is written at most this often.
extern const long useRefreshSeconds;

// 1 when a copy last used at lastUsed is old at now.
int isUnusedCopy(time_t lastUsed, time_t now);
// 1 when its last-used time is worth writing again at now: a day has
// passed, or the time lies ahead (a clock set back).
int needsUseRefresh(time_t lastUsed, time_t now);

#endif
