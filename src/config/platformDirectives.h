#ifndef LARKWIN_CONFIG_PLATFORMDIRECTIVES_H
#define LARKWIN_CONFIG_PLATFORMDIRECTIVES_H

class configFile;
class javaVm;

// The platform's hook for directive words that the reader does not know: 0
// when it has carried out the directive, any other value when it does not
// know the word either. Here it knows none: the platform's own directives
// below are rows of the one directive table (config/directives.h).
int specialDirective(javaVm* vm, configFile* file, char* word, char* argument);

// "crashdir [DIR]", "javaversion RANGE", "javasearch DIR" and
// "startupcache [DIR]".
void applyCrashDir(configFile& file, javaVm& vm, char* argument);
void applyJavaVersion(configFile& file, javaVm& vm, char* argument);
void applyJavaSearch(configFile& file, javaVm& vm, char* argument);
void applyStartupCache(configFile& file, javaVm& vm, char* argument);
// "shortruns": with "startupcache", the runs choose their compilers by
// measuring. It takes no argument.
void applyShortRuns(configFile& file, javaVm& vm, char* argument);

// The first directory of a variable that systemd sets for a service
// ("CACHE_DIRECTORY", "STATE_DIRECTORY": absolute paths separated by ':');
// null when value is null or not an absolute path. Owned by the caller.
char* createServiceDirectory(const char* value);

// Where "crashdir" without a directory puts crash reports: "crash" in the
// service's state directory when systemd made one, else
// "$XDG_STATE_HOME/NAME/crash", else "$HOME/.local/state/NAME/crash"
// (variables that are not absolute paths count as unset); null when none is
// set. Owned by the caller.
char* createDefaultCrashDirectory(const char* stateDirectory, const char* xdgStateHome,
                                  const char* home, const char* name);

#endif
