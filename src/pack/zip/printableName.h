#ifndef LARKWIN_PACK_ZIP_PRINTABLENAME_H
#define LARKWIN_PACK_ZIP_PRINTABLENAME_H

class stringBuffer;

// Appends the name (length bytes) so that it prints on one line and cannot
// steer a terminal: control characters and DEL as \xNN, a backslash doubled.
void appendPrintable(stringBuffer& out, const char* name, int length);

#endif
