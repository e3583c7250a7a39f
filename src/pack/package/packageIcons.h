#ifndef LARKWIN_PACK_PACKAGE_PACKAGEICONS_H
#define LARKWIN_PACK_PACKAGE_PACKAGEICONS_H

class stringArray;

// Installs the icon (a .svg, or a square .png) in the hicolor theme under
// root as NAME: an SVG as it is (scalable/apps) and made into PNGs of the
// usual sizes by rsvg-convert; a PNG made into those of the sizes that are
// no larger than itself. Each file installed is appended to installed
// (relative to root, with a leading "/"). work is a scratch directory.
void installIcons(const char* icon, const char* name, const char* root, const char* work,
                  stringArray& installed);

// The width of a PNG whose height is the same, from its header; 0 when the
// bytes (length of them) are no PNG or it is not square.
int getSquarePngSize(const unsigned char* bytes, long length);

// The bytes in base64 (RFC 4648), without line breaks. Owned.
char* createBase64(const unsigned char* bytes, long length);

#endif
