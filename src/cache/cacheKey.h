#ifndef LARKWIN_CACHE_CACHEKEY_H
#define LARKWIN_CACHE_CACHEKEY_H

#include <cstdint>

class javaVm;

// A 64-bit FNV-1a hash of everything a start-up archive depends on. Each
// part is added with a terminator, so "ab" + "c" and "a" + "bc" differ.
class cacheKey {
  public:
    cacheKey();

    void addText(const char* text);
    void addNumber(long long number);
    // The entry's kind, size and modification time as stat() tells them
    // (one "missing" mark when it does not exist), never its content.
    void addFileState(const char* path);
    uint64_t getValue() const { return value; }
    // The value as 16 lower-case hexadecimal digits. Owned by the caller.
    char* createHex() const;

  private:
    void addBytes(const char* bytes, unsigned long length);

    uint64_t value;
};

// Whether a VM option belongs in the key: every option does but those whose
// value changes at every start (the environment dump's path) and those that
// only say what the VM logs.
int isKeyOption(const char* option);

// Adds what the JVM checks of a launch when it maps an archive: the class
// path and boot path entries with the state of each file, the key options
// in order, with the state of each module path entry, and the JVM option
// variables of the environment.
void addLaunchState(cacheKey& key, const javaVm& vm);

#endif
