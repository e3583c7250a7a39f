#ifndef LARKWIN_UNPACK_COPYSWEEP_H
#define LARKWIN_UNPACK_COPYSWEEP_H

#include <ctime>

// Prints "unpack: " and the line, with "%s" replaced by argument, when
// +DEBUG is set.
void reportUnpack(const char* format, const char* argument);

// Removes the tree at path (links not followed); 1 when it is gone.
int removeCopyTree(const char* path);

// The lock file beside a copy (ROOT/DIGEST.lock): a start holds it shared
// for its run; a removal takes it exclusively.
char* createLockPath(const char* copy);

// What an interrupted unpack left in root (a ".DIGEST.XXXXXX" folder that
// no unpack holds locked) is removed, and so is each copy whose mark was
// last touched more than 30 days before now and that no start holds. Says
// what it removes and keeps under +DEBUG.
void sweepCopies(const char* root, time_t now);

// Sweeps root when the sweep's own stamp there is a day old or missing,
// and renews the stamp; 1 when it swept.
int sweepCopiesDaily(const char* root, time_t now);

#endif
