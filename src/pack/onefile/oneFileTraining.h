#ifndef LARKWIN_PACK_ONEFILE_ONEFILETRAINING_H
#define LARKWIN_PACK_ONEFILE_ONEFILETRAINING_H

#include <string>

struct oneFileRequest;

// Fails unless the runtime at home is of Java 25 or later: an older one's
// start-up archive maps only from the paths it was made with, and each
// user's copy of a one file lies elsewhere.
void checkTrainableRuntime(const std::string& home);

// --train with -o: the one file whose start-up archive ships in it. scratch
// holds the runtime ("runtime") and the data ("app", made when missing).
// The jars, joined into one archive, become a part of their own ("jars"),
// which takes the executable's place on the class path, so that the archive
// holds for every copy of the file: a copy or a download changes the
// file's time, which the JVM checks. A first one file is written in scratch
// and started once (larkwin-pack --train's run, with its cache in scratch);
// the archive it makes in its data's copy (lib/startupcache) joins the data
// of the one file written to output, whose runtime and jars are the same
// parts.
void writeTrainedOneFile(const oneFileRequest& request, const std::string& scratch,
                         const std::string& name, const char* configuration);

#endif
