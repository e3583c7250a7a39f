#ifndef LARKWIN_CONFIG_PLATFORMDIRECTIVES_H
#define LARKWIN_CONFIG_PLATFORMDIRECTIVES_H

class configFile;
class javaVm;

// The platform's hook for directive words that the reader does not know: 0
// when it has carried out the directive, any other value when it does not
// know the word either.
int specialDirective(javaVm* vm, configFile* file, char* word, char* argument);

#endif
