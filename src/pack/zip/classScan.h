#ifndef LARKWIN_PACK_ZIP_CLASSSCAN_H
#define LARKWIN_PACK_ZIP_CLASSSCAN_H

class zipArchive;

// Sets found[i] to 1 for each of the texts that one of the archive's class
// files holds among its bytes: a class named in its constant pool (written
// with slashes) or a string constant (written with dots), such as the name
// a class is loaded by through reflection. Leaves the other flags as they
// are. Throws the archive's failures for a damaged entry.
void findMentions(const zipArchive& archive, const char* const* texts, int count, int* found);

#endif
