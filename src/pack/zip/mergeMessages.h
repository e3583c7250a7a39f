#ifndef LARKWIN_PACK_ZIP_MERGEMESSAGES_H
#define LARKWIN_PACK_ZIP_MERGEMESSAGES_H

class stringBuffer;
class zipArchive;

// The words of a merge's lines and refusals; every name in them is quoted
// and printable (see printableName.h).

// Why a merge stops when what it writes would outgrow the classic format.
extern const char* const mergeTooLarge;

// Appends 'NAME' (length bytes).
void appendQuoted(stringBuffer& line, const char* name, int length);

// "cannot merge 'NAME' of 'JAR': " followed by the reason, as a new string.
char* createCannotMerge(const char* name, int length, const zipArchive* archive,
                        const char* reason);

// "dropped duplicate 'NAME' of 'JAR' (kept the one of 'FIRST')", as a new
// string.
char* createDroppedLine(const char* name, int length, const zipArchive* archive,
                        const zipArchive* first);

#endif
