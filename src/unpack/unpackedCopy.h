#ifndef LARKWIN_UNPACK_UNPACKEDCOPY_H
#define LARKWIN_UNPACK_UNPACKEDCOPY_H

// The folder from which a part stored in the executable (see
// storedEntries.h) is used: the user's copy ROOT/DIGEST (copyRules.h),
// unpacked by the first start that needs it and reused by every later one,
// which reads only its mark; a start holds the copy's lock shared until the
// launcher ends, so no other start removes it meanwhile.
//
// A first start unpacks into ROOT/.DIGEST.XXXXXX, syncs it, writes the mark
// last and renames the folder into place; when another start got there
// first, its copy is used and this one removed. A copy or a folder above it
// that another user owns or others may write is never used. When the cache
// cannot take the copy, the part is unpacked into a private folder under
// $XDG_RUNTIME_DIR or $TMPDIR (else /tmp), removed when the launcher
// exits (privateCopies.h), and one line on standard error says why. A sweep
// of the cache also removes the private folders that launchers ended by
// SIGKILL left. Throws a message when
// that fails too, leaving nothing behind. digest must pass isCopyDigest.
char* createUnpackedCopy(const char* executable, const char* digest, long offset, long length);

// Removes the private folders made for this run; the launcher calls it
// before it ends or starts itself again (an exit handler does it too).
void removeTemporaryCopies();

#endif
