#ifndef LARKWIN_CONFIG_CONFIGFILE_H
#define LARKWIN_CONFIG_CONFIGFILE_H

#include "vm/javaVm.h"

// The reader of one configuration text. It applies the text's directives,
// line by line, to the launch description it is bound to; "include" and
// "includedir" parse further files with nested readers on the spot.
class configFile {
  public:
    // Takes ownership of file and reads it whole at once (pipes included).
    // Throws "Refusing '%s': other users may write to it" (or "... to its
    // directory") for a file that others may change, and "Refusing '%s': a
    // configuration may hold at most 64 MiB" for a longer text. A file that
    // belongs to another user than root, the one running the launcher and
    // the launcher's owner is not read: its text counts as empty, and one
    // line on standard error (and one under +DEBUG) says so.
    configFile(char* file, javaVm* vm);
    // Takes ownership of name and text; the text's relative paths resolve
    // against the directory that holds name.
    configFile(char* name, javaVm* vm, char* text);
    ~configFile();
    configFile(const configFile&) = delete;
    configFile& operator=(const configFile&) = delete;

    // Applies the whole text; it cuts the text into lines in place, so it
    // runs once per reader. These two belong to the owner of the directive
    // table (directives.cc), which the directives call down from: a reader
    // knows its text, the table knows what a line does.
    void parse();
    // Applies one trimmed line, which it may modify.
    void parseLine(char* line);

    javaVm* vm;
    char* fileName;
    char* directory;
    char* content;
    // Set by "expand": the arguments of the following lines of this text
    // (not of the files it includes) are expanded (config/expansion.h).
    int expanding;

  private:
    configFile(javaVm* vm, char* name);
    void applyDirective(char* word, char* argument);

    // The canonical path of the file the text came from, or null for text
    // that was handed over or a file without one (a pipe).
    char* canonicalName;
};

#endif
