#include "config/parseChain.h"

#include "util/stringArray.h"
#include "util/strings.h"

#include <cstring>

static stringArray filesBeingParsed;
// Texts without a canonical path (pipes, embedded text) nest too.
static int textsBeingParsed = 0;

int getParseDepth() {
    return textsBeingParsed;
}

int isBeingParsed(const char* canonicalPath) {
    return filesBeingParsed.find(canonicalPath, strcmp) >= 0 ? 1 : 0;
}

parseMark::parseMark(const char* canonicalPath) : marked(canonicalPath != nullptr ? 1 : 0) {
    textsBeingParsed++;
    if (marked) {
        filesBeingParsed.append(createStringCopy(canonicalPath));
    }
}

// Parses nest strictly, so the innermost file is always the last one.
parseMark::~parseMark() {
    textsBeingParsed--;
    if (marked) {
        filesBeingParsed.remove(filesBeingParsed.size() - 1);
    }
}
