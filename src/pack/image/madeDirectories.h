#ifndef LARKWIN_PACK_IMAGE_MADEDIRECTORIES_H
#define LARKWIN_PACK_IMAGE_MADEDIRECTORIES_H

#include <deque>
#include <string>

// Directories made as "mkdir -p" makes them, for what a run writes. A run
// that fails leaves none of them: unless kept, those made are removed again
// at the end (or on a termination signal, see removalOnSignal.h), the
// deepest first, each only while it is empty.
class madeDirectories {
  public:
    madeDirectories() = default;
    ~madeDirectories();
    madeDirectories(const madeDirectories&) = delete;
    madeDirectories& operator=(const madeDirectories&) = delete;

    // Makes the directories above path, and path itself too with itself
    // set. A component that is there and not a directory, or one that
    // cannot be made, throws "Unable to create '%s': " and the system's
    // reason.
    void make(const std::string& path, bool itself);
    // What was made stays.
    void keep();

  private:
    // A deque keeps the strings where they are: the signal handler borrows them.
    std::deque<std::string> made;
};

#endif
