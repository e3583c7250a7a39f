#ifndef LARKWIN_PACK_ZIP_CLASSPATHSTRIP_H
#define LARKWIN_PACK_ZIP_CLASSPATHSTRIP_H

class stringArray;

// When the jar's manifest has a Class-Path, writes the jar to output (with
// the permission bits of mode, complete or not at all) without it, every
// other entry copied as it is stored (see zipMerge.h for the few it leaves
// out, such as an index that names other jars) and returns 1. An image's
// configuration names every jar that the class path reaches, each from the
// image itself; an entry left in would have the class loader read jars
// outside the image, ahead of nothing and behind its own copies, and differ
// from machine to machine. Lines on what else changes (a signature that
// would no longer match, removed) are added to notes. Returns 0 and writes
// nothing when the manifest has no Class-Path: the jar is then copied as it
// is. Throws the failures of zipArchive, zipMerge and packOutputFile.
int writeWithoutClassPath(const char* jar, const char* output, int mode, stringArray* notes);

#endif
