#ifndef LARKWIN_CACHE_ZIPDIGEST_H
#define LARKWIN_CACHE_ZIPDIGEST_H

// A 64-bit digest of a zip archive's central directory (each entry's name,
// CRC-32, sizes and times) and its end record, read from the end of the
// file alone: it changes whenever any entry's content does, whatever the
// file's size, times or inode, and stays the same when the file is copied.
// An archive with bytes before it (a launcher bundle) is read the same way;
// ZIP64 archives too. 0 when the file is no zip archive or cannot be read.
unsigned long long digestZipDirectory(const char* path);

#endif
