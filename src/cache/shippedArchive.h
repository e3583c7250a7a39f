#ifndef LARKWIN_CACHE_SHIPPEDARCHIVE_H
#define LARKWIN_CACHE_SHIPPEDARCHIVE_H

// An archive that an app image ships, made when the image was packed
// (larkwin-pack --train): IMAGE/lib/startupcache/<Name>-<key>.jsa with its
// record beside it, where IMAGE/bin holds the launcher and IMAGE/runtime its
// runtime. The image may be root's and read-only, so nothing is written
// there; what a user found of the archive (the checksum verified, or that a
// JVM crashed on it) is kept in the user's cache directory instead, in a
// record of the same form whose name ends in ".shipped".

// The image's directory when the runtime's home is the "runtime" beside the
// directory of the launcher's canonical executable; else null. Owned by
// the caller.
char* createImageRoot(const char* runtimeHome);

// A one file's counterpart: the folder of its unpacked copies when the
// runtime's home is one of them; else null. Owned by the caller.
char* createOneFileRoot(const char* unpackedRoot, const char* runtimeHome);

// "IMAGE/lib/startupcache". Owned by the caller.
char* createShippedDirectory(const char* imageRoot);

// Whether an archive of the runtime of that feature version still maps
// after its image was moved to another directory: JDK 25 checks the class
// path relative to where it was when the archive was made, JDK 17 checks
// the paths themselves (versions between were not tried, and count as not).
int isMovableArchive(int featureVersion);

enum shippedState {
    shippedMissing,
    shippedSound,
    shippedDamaged,
    shippedUnsafe,
    shippedRefused,
    shippedUnnoted
};

// What the shipped archive is to this user: missing; owned by neither root
// nor the user, or writable by others, as is its directory (unsafe); not of
// its record's size and checksum (damaged, and so noted); refused since a
// JVM crashed on it; sound but with no place to note a crash on it (the
// user's record can be neither written nor touched: a cache directory that
// takes no file, a read-only file system), so that a crash would recur at
// every start (unnoted; the checksum is then not computed); else sound. The
// checksum is computed only when the user's record does not hold the
// archive's present inode and change time.
shippedState checkShippedArchive(const char* archive, const char* seenPath);

// Notes that a JVM crashed on the archive, so that this user no longer
// maps it until it changes: in a new record, else over the old one. 0 when
// neither could be written.
int refuseShippedArchive(const char* archive, const char* seenPath);

#endif
