#ifndef LARKWIN_UNPACK_PRIVATECOPIES_H
#define LARKWIN_UNPACK_PRIVATECOPIES_H

// The private folders a part is unpacked into when the user's cache cannot
// take it: BASE/larkwin-XXXXXX, where BASE is privateCopyBase(). Each holds
// a mark (privateMarkName) written once its folder is locked, and the
// folder stays locked (flock, exclusive) for the launcher's run, so that a
// folder with the mark and without the lock was left by a launcher that
// ended without removing it (SIGKILL): a later start removes it.

extern const char* const privateMarkName;

// $XDG_RUNTIME_DIR, else $TMPDIR, else /tmp: the first that names a folder.
const char* privateCopyBase();

// 1 when name is one that createPrivateCopy makes: "larkwin-" and the six
// letters or digits of mkdtemp.
int isPrivateCopyName(const char* name);

// Unpacks the part into a new private folder, held locked until
// removePrivateCopies; first removes what earlier runs left in BASE. Throws
// "Unable to unpack the runtime: WHY; and ..." when that fails too, leaving
// nothing behind.
char* createPrivateCopy(const char* executable, long offset, long length, const char* why);

// Removes the folders of BASE that isPrivateCopyName names, that belong to
// the user running, hold the mark, and that no running start holds; says
// which it removes and keeps under +DEBUG.
void sweepPrivateCopies(const char* base);

// Removes this run's private folders and lets go of their locks.
void removePrivateCopies();

#endif
