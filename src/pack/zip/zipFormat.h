#ifndef LARKWIN_PACK_ZIP_ZIPFORMAT_H
#define LARKWIN_PACK_ZIP_ZIPFORMAT_H

// Sizes, signatures and fields of the ZIP format (PKWARE application note).
// Integers are little-endian; offsets and sizes are unsigned 32-bit values.

#include "launcher/zipComment.h"

const int zipEndRecordSize = 22;
const int zipHeaderSize = 46;
const int zipHeaderSignature = 0x02014B50;
const int zipLocalHeaderSize = 30;
const int zipLocalHeaderSignature = 0x04034B50;
const int zipDescriptorSignature = 0x08074B50;
const long zipLargestOffset = 0xFFFFFFFFL;
const int zipMostEntries = 0xFFFF;

// Fields of a central directory header. A local header holds the same fields
// from version needed to extra field length, 2 bytes nearer its start.
const int zipFlagsField = 8;
const int zipMethodField = 10;
const int zipCrcField = 16;
const int zipCompressedSizeField = 20;
const int zipSizeField = 24;
const int zipNameLengthField = 28;
const int zipExtraLengthField = 30;
const int zipCommentLengthField = 32;
const int zipLocalOffsetField = 42;
const int zipLocalShift = 2;
const int zipVersionNeededField = 6;

const int zipFlagEncrypted = 1;
// The sizes and CRC follow the data, in a descriptor.
const int zipFlagDescriptor = 8;
const int zipStored = 0;
const int zipDeflated = 8;

inline long getZip4(const unsigned char* buffer, int position) {
    return (unsigned int)get4LE(const_cast<unsigned char*>(buffer), position);
}

inline int getZip2(const unsigned char* buffer, int position) {
    return get2LE(const_cast<unsigned char*>(buffer), position);
}

inline void putZip2(unsigned char* buffer, int position, long value) {
    buffer[position] = value & 0xFF;
    buffer[position + 1] = value >> 8 & 0xFF;
}

inline void putZip4(unsigned char* buffer, int position, long value) {
    putZip2(buffer, position, value & 0xFFFF);
    putZip2(buffer, position + 2, value >> 16 & 0xFFFF);
}

// A central directory header followed by its name, extra field and comment.
inline long getZipHeaderLength(const unsigned char* header) {
    return zipHeaderSize + getZip2(header, zipNameLengthField) +
           getZip2(header, zipExtraLengthField) + getZip2(header, zipCommentLengthField);
}

#endif
