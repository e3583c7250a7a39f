#ifndef LARKWIN_PACK_BASE_OWNEDTEXT_H
#define LARKWIN_PACK_BASE_OWNEDTEXT_H

#include <string>

// Where the packer takes an owned char* (array new) that a lower layer of the
// launcher returns: the text as a std::string, so that the packer's own files
// hold one style of string.

// The text of owned, which it releases; "" for null.
std::string takeString(char* owned);

#endif
