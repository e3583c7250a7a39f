#ifndef LARKWIN_UNIX_OTHERSWRITABLE_H
#define LARKWIN_UNIX_OTHERSWRITABLE_H

// The launcher runs what its configuration names, often as a user other
// than the one who installed it. A configuration that other users may change
// is therefore refused before it is read. "Others may write" means o+w, or
// g+w unless the group is the owner's private group (privateGroup.h), as
// Debian's OpenSSH judges it. "Other users may change it" means:
// - a file or FIFO whose mode lets others write it; devices are exempt,
//   since what one writes to /dev/null or /dev/zero is not what the next
//   reader gets;
// - a directory whose listing is read (includedir, addjars, addbootjars) and
//   that others may write, sticky or not: the sticky bit stops them removing
//   entries, not adding new ones;
// - anything that lies in a directory others may write without the sticky
//   bit (they could rename another file over it); in a sticky directory such
//   as /tmp only the owner may replace it, so that is fine while the thing
//   itself is not o+w. Both the directory that holds the name as given and
//   the one that holds what it resolves to are checked.
// A path that names nothing passes: opening or listing it then fails or
// finds nothing, as before.

// Why other users may change the file or the directory at path, as the
// constant text "other users may write to it" or "other users may write to
// its directory"; null when they may not.
const char* whyOthersMayChangeFile(const char* path);
const char* whyOthersMayChangeDirectory(const char* path);

// Throws "Refusing '%s': other users may write to it" or "Refusing '%s':
// other users may write to its directory" for a configuration file.
void refuseFileOthersMayChange(const char* path);
// The same for a directory whose entries are read.
void refuseDirectoryOthersMayChange(const char* path);

#endif
