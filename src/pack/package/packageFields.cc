#include "pack/package/packageFields.h"

#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cstring>

fileType::~fileType() {
    delete[] extension;
    delete[] mimeType;
    delete[] description;
}

// Plain ASCII, whatever the locale says.
static int isLower(char c) {
    return c >= 'a' && c <= 'z';
}

static int isLetter(char c) {
    return isLower(c) || (c >= 'A' && c <= 'Z');
}

static int isDigit(char c) {
    return c >= '0' && c <= '9';
}

// 1 when every character of text from position from on is alphanumeric or
// one of others.
static int holdsOnly(const char* text, int from, int (*alphanumeric)(char), const char* others) {
    for (const char* c = text + from; *c != 0; c++) {
        if (!alphanumeric(*c) && !isDigit(*c) && strchr(others, *c) == nullptr) {
            return 0;
        }
    }
    return 1;
}

int isPackageName(const char* name) {
    return (isLower(name[0]) || isDigit(name[0])) && name[1] != 0 &&
           holdsOnly(name, 1, isLower, "+-.");
}

int isPackageVersion(const char* version) {
    return isDigit(version[0]) && holdsOnly(version, 1, isLetter, "+.~");
}

int isOneLine(const char* text) {
    for (const unsigned char* c = (const unsigned char*)text; *c != 0; c++) {
        if (*c < 0x20 || *c == 0x7F) {
            return 0;
        }
    }
    return text[0] != 0;
}

int isUrlScheme(const char* scheme) {
    return isLetter(scheme[0]) && holdsOnly(scheme, 1, isLetter, "+-.");
}

// A media type's two names (RFC 6838's restricted names): type/subtype.
static int isMimeType(const char* text) {
    const char* slash = strchr(text, '/');
    if (slash == nullptr || slash == text || slash[1] == 0 || strchr(slash + 1, '/') != nullptr) {
        return 0;
    }
    for (const char* c = text; *c != 0; c++) {
        if (c != slash && !isLetter(*c) && !isDigit(*c) && strchr("!#$&^_.+-", *c) == nullptr) {
            return 0;
        }
    }
    return 1;
}

static char* createPart(const char* from, const char* to) {
    stringBuffer part;
    part.append(from, (int)(to - from));
    return part.createString();
}

char* parseFileType(const char* text, fileType* type) {
    const char* first = strchr(text, ',');
    const char* second = first != nullptr ? strchr(first + 1, ',') : nullptr;
    if (second == nullptr) {
        return createMessage("--file-type '%s' is not EXTENSION,MIME-TYPE,DESCRIPTION", text);
    }
    type->extension = createPart(text[0] == '.' ? text + 1 : text, first);
    type->mimeType = createPart(first + 1, second);
    type->description = createStringCopy(second + 1);
    if (type->extension[0] == 0 || !holdsOnly(type->extension, 0, isLetter, "+-._")) {
        return createMessage("--file-type '%s': the extension may hold only letters, digits, "
                             "'+', '-', '.' and '_'",
                             text);
    }
    if (!isMimeType(type->mimeType)) {
        return createMessage("--file-type '%s': the MIME type is not TYPE/SUBTYPE", text);
    }
    if (!isOneLine(type->description)) {
        return createMessage("--file-type '%s': the description is empty or holds a control "
                             "character",
                             text);
    }
    return nullptr;
}
