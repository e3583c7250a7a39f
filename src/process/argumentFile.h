#ifndef LARKWIN_PROCESS_ARGUMENTFILE_H
#define LARKWIN_PROCESS_ARGUMENTFILE_H

#include "util/owned.h"

// The kernel refuses to execute a command line with one argument longer than
// MAX_ARG_STRLEN: 32 pages, 128 KiB with 4 KiB pages, its terminator
// included. A class path of a few thousand jars is longer. Java 9 and later
// read arguments from a file named on their command line as "@path" instead.

// 1 when argument, with its terminator, is longer than 32 pages of 4 KiB.
int isTooLongForExec(const char* argument);

// What java reads back as exactly these count arguments: each one on a line
// of its own, in double quotes, with a backslash, a double quote, a carriage
// return and a line feed written as \\, \", \r and \n (within quotes
// everything else stands for itself). Owned by the caller.
char* createArgumentFileText(char** arguments, int count);

// A private file (mode 0600, from the template "/tmp/larkwin-args-XXXXXX")
// that holds arguments for java; the destructor deletes it.
class argumentFile {
  public:
    argumentFile();
    ~argumentFile();
    argumentFile(const argumentFile&) = delete;
    argumentFile& operator=(const argumentFile&) = delete;

    // Writes the count arguments into a new file and returns the argument
    // that names it, "@path", owned by the caller. Under +DEBUG it says which
    // file holds what. Throws "Unable to create temporary file." or "Failed
    // to write to temporary file.". Called at most once.
    char* createReference(char** arguments, int count);
    // The file's path; null before createReference.
    const char* getPath() const { return path.get(); }

  private:
    ownedString path;
};

#endif
