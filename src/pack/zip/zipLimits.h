#ifndef LARKWIN_PACK_ZIP_ZIPLIMITS_H
#define LARKWIN_PACK_ZIP_ZIPLIMITS_H

#include "pack/zip/zipFormat.h"

#include <climits>

// How large a bundle's archive, and what it is made of, may grow. A bundle
// always has bundleLimits; tests lower them to reach each refusal with small
// files.
struct zipLimits {
    // Offsets and sizes are 32-bit: no offset that the archive records may
    // lie beyond this one.
    long largestOffset;
    // The end record counts entries in 16 bits.
    int mostEntries;
    // An input archive's size: its parts are read with int lengths.
    long largestInput;
    // An entry's content, or all copies of a registry together, held in
    // memory to be joined.
    long largestContent;
};

inline const zipLimits bundleLimits = {zipLargestOffset, zipMostEntries, INT_MAX, INT_MAX / 2};

#endif
