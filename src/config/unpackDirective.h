#ifndef LARKWIN_CONFIG_UNPACKDIRECTIVE_H
#define LARKWIN_CONFIG_UNPACKDIRECTIVE_H

class configFile;
class javaVm;

// "unpack KIND DIGEST OFFSET LENGTH", which larkwin-pack writes into a one
// file: the part stored at bytes [OFFSET, OFFSET + LENGTH) of the
// launcher's own file is used from its unpacked copy (unpack/unpackedCopy.h).
// KIND "runtime" makes the copy's bin/java the java path; "appdir" makes
// the copy what ${app.dir} names; "jars" (a trained one file) puts the
// copy's unpackedJarName on the class path in the executable's place.
// Throws "Malformed unpack '%s'" for any other form.
// The one file that a "jars" part holds.
extern const char* const unpackedJarName;

void applyUnpack(configFile& file, javaVm& vm, char* argument);

// The folder that ${app.dir} names after "unpack appdir", or null.
const char* getUnpackedAppDirectory();

#endif
