#ifndef LARKWIN_PACK_REPOSITORY_REPOSITORYFILES_H
#define LARKWIN_PACK_REPOSITORY_REPOSITORYFILES_H

#include "pack/base/failure.h"
#include "pack/tools/programText.h"

#include <csignal>
#include <string>
#include <vector>

// The files and programs a repository writer works with. Failures throw an
// owned char* message that names the file and the system's reason.

// The program's path along PATH; throws naming the Debian package that has
// it when it is missing.
std::string findProgram(const char* name, const char* package);

// runProgram and runProgramStatus: pack/tools/programText.h.

// True when value is not empty and holds only ASCII letters, digits and
// the marks given.
bool isPlainText(const std::string& value, const char* marks);

std::string readFile(const std::string& path);
// Writes the whole file under a temporary name beside it, then renames it
// into place: a reader sees the old file or the new one.
void replaceFile(const std::string& path, const std::string& content, int mode);
// Copies from to to (not existing yet), with the mode 0644.
void copyFile(const std::string& from, const std::string& to);
// rename(2), throwing with the reason.
void renameFile(const std::string& from, const std::string& to);
bool sameContent(const std::string& a, const std::string& b);
bool fileExists(const std::string& path);
// The names in the directory (none when it is missing), sorted.
std::vector<std::string> listDirectory(const std::string& path);
void makeDirectory(const std::string& path);

// Holds back the termination signals while it lives, so that files that a
// reader needs together (an index and its signature) are renamed into place
// both or neither.
class heldSignals {
  public:
    heldSignals();
    ~heldSignals();
    heldSignals(const heldSignals&) = delete;
    heldSignals& operator=(const heldSignals&) = delete;

  private:
    sigset_t before;
};

// Holds an exclusive lock on the repository's folder while it lives, so
// that two larkwin-pack runs never write one repository at once, and a
// scratch folder inside it (on its file system, so that renames are
// atomic), removed at the end. A folder that others may write (group or
// world, or owned by another user than this one or root) is refused: they
// could change what is signed.
class repositoryLock {
  public:
    explicit repositoryLock(const std::string& directory);
    ~repositoryLock();
    repositoryLock(const repositoryLock&) = delete;
    repositoryLock& operator=(const repositoryLock&) = delete;
    const std::string& scratch() const { return scratchDirectory; }

  private:
    int descriptor;
    std::string scratchDirectory;
};

#endif
