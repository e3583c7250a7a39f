#ifndef LARKWIN_LAUNCHER_CONFIGUREANDRUN_H
#define LARKWIN_LAUNCHER_CONFIGUREANDRUN_H

class javaVm;

// Turns the command line into a launch: takes the launcher's switches out of
// argv, chooses and parses the configuration, then hands the parameters to a
// running instance ("+SHELL") or runs the application. Takes ownership of
// configName and exePath.
void configureAndRun(javaVm* vm, char* configName, char* exePath, int argc, char** argv);

#endif
