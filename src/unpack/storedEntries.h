#ifndef LARKWIN_UNPACK_STOREDENTRIES_H
#define LARKWIN_UNPACK_STOREDENTRIES_H

// The part of a file that the packer stored for unpacking: a zip archive of
// stored (uncompressed) entries at bytes [offset, offset + length) of the
// file, whose central directory gives absolute offsets within the file and
// each entry's mode in its external attributes (the Unix mode in the upper
// 16 bits). Folders come before what they hold.

// The modification time every unpacked file gets: 1980-01-01 UTC, the time
// the packer stores in each entry.
const long storedEntryTime = 315532800;

// Writes every entry under directory, which exists and is empty: folders,
// files (without group or other write, nor set-id bits, dated
// storedEntryTime) and links that stay
// inside directory, then syncs the file system that holds them. Null when
// all is written, else why not, as an owned message. A name that is
// absolute, holds an empty, "." or ".." part, a compressed entry, another
// kind of file and offsets outside the part are refused.
char* createUnpackFailure(const char* file, long offset, long length, const char* directory);

// 1 when the name may be unpacked: relative, with no empty, "." or ".."
// part (one trailing slash allowed) and no control character.
int isSafeEntryName(const char* name);

// 1 when a link at name (a path inside the directory) with this target stays
// inside the directory: relative, never climbing above the directory.
int isInsideLink(const char* name, const char* target);

#endif
