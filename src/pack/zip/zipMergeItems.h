#ifndef LARKWIN_PACK_ZIP_ZIPMERGEITEMS_H
#define LARKWIN_PACK_ZIP_ZIPMERGEITEMS_H

#include "pack/zip/zipFormat.h"

// What the two halves of zipMerge (planning in zipMerge.cc, writing in
// zipMergeWrite.cc) share.

// What becomes of each entry.
enum { skipItem, copyItem, joinItem, renameItem, manifestEntryItem };

inline const char* const mergeManifestName = "META-INF/MANIFEST.MF";

// The name of the entry of that central directory header, not terminated.
inline const char* getEntryName(const unsigned char* header) {
    return (const char*)header + zipHeaderSize;
}

inline int getEntryNameLength(const unsigned char* header) {
    return getZip2(header, zipNameLengthField);
}

#endif
