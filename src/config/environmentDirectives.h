#ifndef LARKWIN_CONFIG_ENVIRONMENTDIRECTIVES_H
#define LARKWIN_CONFIG_ENVIRONMENTDIRECTIVES_H

class configFile;
class javaVm;

// "copyenv NAME": the VM option "-Dlarkwin.copyenv.NAME=VALUE" when the
// variable is set, nothing when it is not.
void applyCopyEnv(configFile& file, javaVm& vm, char* name);
// "exportenv": the whole environment goes to a dump file readable by its
// owner only, named by "-Dlarkwin.exportenv=PATH" and removed at the end.
void applyExportEnv(configFile& file, javaVm& vm, char* argument);

#endif
