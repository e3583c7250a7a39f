#ifndef LARKWIN_PACK_ZIP_JARMANIFEST_H
#define LARKWIN_PACK_ZIP_JARMANIFEST_H

class zipArchive;

// The main section of a jar's manifest (META-INF/MANIFEST.MF): lines ended
// by CR LF, LF or CR, a line that begins with a space continuing the one
// before, and the first empty line ending the section. Attribute names are
// compared without regard to case.

// The manifest's text as a new array (*length bytes, terminated), or null
// when the archive has none. *entry is its entry, or -1.
char* createManifestText(const zipArchive& archive, long* length, int* entry);

// The value of the main attribute, continuation lines joined, as a new
// string; null when the section has none.
char* createMainAttribute(const char* text, long length, const char* name);

// 1 when the main section says "Multi-Release: true" (the value in any case).
int isMultiRelease(const char* text, long length);

// The manifest without the main attribute removed (may be null) and, when
// added is not null, with the line added (without its line end) at the end
// of the main section. A new array of *newLength bytes.
char* createEditedManifest(const char* text, long length, const char* removed, const char* added,
                           long* newLength);

#endif
