#ifndef LARKWIN_PACK_ZIP_REGISTRYJOIN_H
#define LARKWIN_PACK_ZIP_REGISTRYJOIN_H

#include "pack/zip/mergeRules.h"

class stringBuffer;

// The copies of one registry file that several jars hold, joined so that a
// reader of the one file learns what the readers of every copy learnt on the
// class path:
// - joinEntry, a list of lines (ServiceLoader's files): the copies one
//   after another, with a line feed after a copy whose last line lacks one;
// - appendEntry, properties that a reader loads from every copy in turn,
//   the later winning: the copies one after another, likewise;
// - joinValuesEntry, properties whose values are comma-separated lists that
//   a reader gathers from every copy: each key once, in the order first
//   seen, its values joined with commas;
// - groovyModuleEntry, Groovy's extension module descriptor: as
//   joinValuesEntry for moduleName, extensionClasses and
//   staticExtensionClasses; for other keys the first copy's value wins.
// Returns -1, or the index of the copy that cannot be joined faithfully: a
// copy of properties whose last line continues (ends with an odd number of
// backslashes) would run into the next copy.
int joinRegistry(mergeRule rule, const char* const* contents, const long* lengths, int count,
                 stringBuffer& joined);

#endif
