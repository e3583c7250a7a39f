#include "pack/zip/classScan.h"

#include "pack/zip/zipArchive.h"
#include "pack/zip/zipFormat.h"
#include "util/owned.h"

#include <cstring>

static int isClassFile(const unsigned char* header) {
    const char* suffix = ".class";
    int suffixLength = (int)strlen(suffix);
    int length = getZip2(header, zipNameLengthField);
    return length >= suffixLength &&
           memcmp(header + zipHeaderSize + length - suffixLength, suffix, suffixLength) == 0;
}

void findMentions(const zipArchive& archive, const char* const* texts, int count, int* found) {
    for (int e = 0; e < archive.getEntryCount(); e++) {
        if (!isClassFile(archive.getHeader(e))) {
            continue;
        }
        long size = 0;
        ownedArray<unsigned char> content(archive.createContent(e, &size));
        for (int i = 0; i < count; i++) {
            if (!found[i] && memmem(content.get(), size, texts[i], strlen(texts[i])) != nullptr) {
                found[i] = 1;
            }
        }
    }
}
