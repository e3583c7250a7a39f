#ifndef LARKWIN_PACK_BASE_OWNEDTEXT_H
#define LARKWIN_PACK_BASE_OWNEDTEXT_H

#include <cstddef>
#include <string>

// Where the packer meets the launcher's owned char* (array new): a lower
// layer's owned text taken into a std::string, and a std::string handed to a
// caller that takes an owned char*, so that the packer's own files hold one
// style of string.

// The text of owned, which it releases; "" for null.
std::string takeString(char* owned);

// An owned copy of length bytes (NUL bytes too), closed by a NUL, for the
// caller to release with delete[].
char* createOwnedCopy(const char* bytes, size_t length);
// The same of all of text's bytes.
char* createOwnedCopy(const std::string& text);

#endif
