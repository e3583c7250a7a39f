#ifndef LARKWIN_PACK_ZIP_PRINTABLENAME_H
#define LARKWIN_PACK_ZIP_PRINTABLENAME_H

class stringBuffer;

// Writes the printable form of the byte c to out (at least 4 bytes) and
// returns its length: the byte itself, a backslash doubled, or control
// characters and DEL as \xNN.
int printableByte(unsigned char c, char* out);

// Appends the name (length bytes) so that it prints on one line and cannot
// steer a terminal: each byte as printableByte writes it.
void appendPrintable(stringBuffer& out, const char* name, int length);

#endif
