#ifndef LARKWIN_CACHE_CACHEKEY_H
#define LARKWIN_CACHE_CACHEKEY_H

#include <cstdint>

class javaVm;
class stringArray;

// A 64-bit FNV-1a hash of everything a start-up archive depends on. Each
// part is added with a terminator, so "ab" + "c" and "a" + "bc" differ.
class cacheKey {
  public:
    cacheKey();

    void addText(const char* text);
    void addNumber(long long number);
    // A path, with the image root (when one is set) that begins it as
    // "<image>": the key of an archive that an app image ships stays the
    // same when the image is moved.
    void addPath(const char* path);
    // The entry's path, kind, size and modification time as stat() tells
    // them (one "missing" mark when it does not exist), and what changes
    // whenever the file is written or replaced: its inode and change time,
    // or, once identifyByContent() was called, the digest of its central
    // directory when it is a zip archive (digestZipDirectory), and then an
    // entry that is a link by the canonical path of the file it names.
    void addFileState(const char* path);
    // Paths below root are added relative to it from now on; root is not
    // copied and must outlive the key.
    void setImageRoot(const char* root) { imageRoot = root; }
    // For the key of an archive that an app image ships: its files are
    // copied (a package installed) with their times but not their inodes
    // or change times, so what they hold tells them apart instead; and the
    // launcher may be started through a link (/usr/bin/NAME), whose path
    // the JVM takes for the file it names.
    void identifyByContent() { byContent = 1; }
    uint64_t getValue() const { return value; }
    // The value as 16 lower-case hexadecimal digits. Owned by the caller.
    char* createHex() const;

  private:
    void addBytes(const char* bytes, unsigned long length);

    uint64_t value;
    const char* imageRoot;
    int byContent;
};

// Whether a VM option belongs in the key: only what the JVM checks when it
// maps an archive. Out stay system properties (-D, the environment dump's
// path among them), what only says what the VM logs, and what sizes the
// heap, names the collector or counts the processors: of those the archive
// depends only on the shape they give (vmShape), which goes in instead.
int isKeyOption(const char* option);

// Adds what the JVM checks of a launch when it maps an archive: the class
// path and boot path entries with the state of each file, the key options of
// options (all the JVM reads, in order) with the state of each module path
// entry, and the shape of the JVM's set-up.
void addLaunchState(cacheKey& key, const javaVm& vm, const stringArray& options, const char* shape);

#endif
