#ifndef LARKWIN_VM_MODULEACCESS_H
#define LARKWIN_VM_MODULEACCESS_H

#include "runtime/javaRuntime.h"
#include "runtime/runtimeImage.h"
#include "vm/javaVm.h"

// "addexports" and "addopens" take a jar's Add-Exports or Add-Opens value
// as it stands: MODULE/PACKAGE entries separated by blanks. Each is kept
// for the launch; one that is not a module's and a package's name is left
// out there.
void addManifestAccess(stringArray& entries, const char* value);

// Why the runtime of image leaves the MODULE/PACKAGE entry out, or null when
// its option is given (an image that cannot be read gives every well-formed
// entry).
const char* findAccessOmission(const runtimeImage& image, const char* entry);

// What java -jar does with the manifest's entries, done for the class path:
// every entry whose package the runtime's modules have becomes the option
// "--add-exports=M/P=ALL-UNNAMED" (or --add-opens) at the end of the VM
// options; the others are left out without a word, as java -jar leaves
// them, and +DEBUG names each with the reason. A runtime before Java 9 has
// no modules and takes none; one whose image cannot be read gets them all.
void useManifestAccess(javaVm& vm, javaRuntime& runtime);

#endif
