#ifndef LARKWIN_PACK_ZIP_UTF8TEXT_H
#define LARKWIN_PACK_ZIP_UTF8TEXT_H

#include <cstddef>

// 1 when the length bytes are well-formed UTF-8: no stray continuation
// byte, no overlong form, no surrogate, nothing beyond U+10FFFF. Package
// tools, systemd and desktop entries take nothing else.
int isUtf8(const char* text, size_t length);

#endif
