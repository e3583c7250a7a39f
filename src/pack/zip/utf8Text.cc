#include "pack/zip/utf8Text.h"

// The continuation bytes that follow a lead byte, and the smallest second
// byte and largest second byte it allows (which rule out overlong forms,
// surrogates and code points beyond U+10FFFF); -1 for a byte that cannot
// lead.
static int continuationCount(unsigned char lead, unsigned char* low, unsigned char* high) {
    *low = 0x80;
    *high = 0xBF;
    if (lead < 0x80) {
        return 0;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 1;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        *low = lead == 0xE0 ? 0xA0 : 0x80;
        *high = lead == 0xED ? 0x9F : 0xBF;
        return 2;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        *low = lead == 0xF0 ? 0x90 : 0x80;
        *high = lead == 0xF4 ? 0x8F : 0xBF;
        return 3;
    }
    return -1;
}

int isUtf8(const char* text, size_t length) {
    const unsigned char* bytes = (const unsigned char*)text;
    for (size_t i = 0; i < length;) {
        unsigned char low;
        unsigned char high;
        int count = continuationCount(bytes[i], &low, &high);
        if (count < 0 || (size_t)count >= length - i) {
            return 0;
        }
        for (int k = 1; k <= count; k++) {
            unsigned char next = bytes[i + k];
            if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) {
                return 0;
            }
        }
        i += count + 1;
    }
    return 1;
}
