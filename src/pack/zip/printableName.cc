#include "pack/zip/printableName.h"

#include "util/stringBuffer.h"

void appendPrintable(stringBuffer& out, const char* name, int length) {
    const char* digits = "0123456789abcdef";
    for (int i = 0; i < length; i++) {
        unsigned char c = (unsigned char)name[i];
        if (c < 0x20 || c == 0x7F) {
            out.append("\\x");
            out.append(digits[c >> 4]);
            out.append(digits[c & 0xF]);
        } else if (c == '\\') {
            out.append("\\\\");
        } else {
            out.append((char)c);
        }
    }
}
