#ifndef LARKWIN_PACK_ZIP_CLASSPATH_H
#define LARKWIN_PACK_ZIP_CLASSPATH_H

class stringArray;

// The jars in the order a class loader reads them: each jar followed by the
// jars that its manifest's Class-Path names (relative to the jar's
// directory, recursively), each jar once. Only entries that stay within the
// folder of the jar that names them are followed: a relative path whose
// ".." never climbs out of it, or an absolute path into it (as Debian's jars
// name their neighbours in /usr/share/java). Any other entry, one that names
// no file, a directory or a URL other than a file's is left out, with one
// line in notes saying so, so that what is made never depends on the packing
// machine. Throws the failures of zipArchive for a jar that is not one, and
// refuses a jar that only its owner may read (no group or other read
// permission): what is made from it is read by everyone.
void expandClassPath(const stringArray& jars, stringArray* expanded, stringArray* notes);

#endif
