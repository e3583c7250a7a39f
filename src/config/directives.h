#ifndef LARKWIN_CONFIG_DIRECTIVES_H
#define LARKWIN_CONFIG_DIRECTIVES_H

class configFile;
class javaVm;

// One directive of the configuration language: its word and what it does to
// the launch description. The argument lies in the reader's text; a
// directive that keeps it hands the description a copy.
struct directive {
    const char* word;
    void (*apply)(configFile& file, javaVm& vm, char* argument);
};

// The row of the one directive table whose word is word (compared exactly),
// or null.
const directive* findDirective(const char* word);

#endif
