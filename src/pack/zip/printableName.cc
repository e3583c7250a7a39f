#include "pack/zip/printableName.h"

#include "util/stringBuffer.h"

int printableByte(unsigned char c, char* out) {
    const char* digits = "0123456789abcdef";
    if (c < 0x20 || c == 0x7F) {
        out[0] = '\\';
        out[1] = 'x';
        out[2] = digits[c >> 4];
        out[3] = digits[c & 0xF];
        return 4;
    }
    out[0] = (char)c;
    out[1] = '\\';
    return c == '\\' ? 2 : 1;
}

void appendPrintable(stringBuffer& out, const char* name, int length) {
    for (int i = 0; i < length; i++) {
        char printed[4];
        out.append(printed, printableByte((unsigned char)name[i], printed));
    }
}
