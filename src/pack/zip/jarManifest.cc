#include "pack/zip/jarManifest.h"

#include "pack/base/ownedText.h"
#include "pack/zip/zipArchive.h"
#include "pack/zip/zipFormat.h"
#include "util/owned.h"
#include "util/stringBuffer.h"

#include <cstring>
#include <strings.h>

static const char* manifestName = "META-INF/MANIFEST.MF";

char* createManifestText(const zipArchive& archive, long* length, int* entry) {
    int nameLength = (int)strlen(manifestName);
    for (int e = 0; e < archive.getEntryCount(); e++) {
        const unsigned char* header = archive.getHeader(e);
        if (getZip2(header, zipNameLengthField) == nameLength &&
            strncasecmp((const char*)header + zipHeaderSize, manifestName, nameLength) == 0) {
            *entry = e;
            ownedArray<unsigned char> content(archive.createContent(e, length));
            return createOwnedCopy((const char*)content.get(), (size_t)*length);
        }
    }
    *entry = -1;
    *length = 0;
    return nullptr;
}

static long findLineEnd(const char* text, long length, long position) {
    while (position < length && text[position] != '\n' && text[position] != '\r') {
        position++;
    }
    return position;
}

static long skipLineEnd(const char* text, long length, long end) {
    if (end < length && text[end] == '\r') {
        end++;
    }
    if (end < length && text[end] == '\n') {
        end++;
    }
    return end;
}

// One attribute of the main section: its first line begins at begin; the
// next attribute (or the section's end) at next.
struct attributeLines {
    long begin;
    long next;
};

// The attribute's lines, or begin -1; *sectionEnd is where the main
// section's empty line (or the text's end) lies.
static attributeLines findAttribute(const char* text, long length, const char* name,
                                    long* sectionEnd) {
    attributeLines found = {-1, -1};
    long nameLength = (long)strlen(name);
    long position = 0;
    while (position < length) {
        long end = findLineEnd(text, length, position);
        if (end == position) {
            break;
        }
        long next = skipLineEnd(text, length, end);
        while (next < length && text[next] == ' ') {
            next = skipLineEnd(text, length, findLineEnd(text, length, next));
        }
        int matches = end - position > nameLength && text[position + nameLength] == ':' &&
                      strncasecmp(text + position, name, nameLength) == 0;
        if (matches && found.begin < 0) {
            found.begin = position;
            found.next = next;
        }
        position = next;
    }
    *sectionEnd = position;
    return found;
}

char* createMainAttribute(const char* text, long length, const char* name) {
    long sectionEnd = 0;
    attributeLines lines = findAttribute(text, length, name, &sectionEnd);
    if (lines.begin < 0) {
        return nullptr;
    }
    stringBuffer value;
    long position = lines.begin + (long)strlen(name) + 1;
    if (position < lines.next && text[position] == ' ') {
        position++;
    }
    while (position < lines.next) {
        long end = findLineEnd(text, length, position);
        value.append(text + position, (int)(end - position));
        // A continuation line's leading space is not part of the value.
        position = skipLineEnd(text, length, end) + 1;
    }
    return value.createString();
}

int isMultiRelease(const char* text, long length) {
    ownedString value(createMainAttribute(text, length, "Multi-Release"));
    return value != nullptr && strcasecmp(value.get(), "true") == 0;
}

char* createEditedManifest(const char* text, long length, const char* removed, const char* added,
                           long* newLength) {
    long sectionEnd = 0;
    attributeLines lines = {-1, -1};
    if (removed != nullptr) {
        lines = findAttribute(text, length, removed, &sectionEnd);
    } else {
        findAttribute(text, length, "", &sectionEnd);
    }
    stringBuffer edited;
    if (lines.begin >= 0) {
        edited.append(text, (int)lines.begin);
        edited.append(text + lines.next, (int)(sectionEnd - lines.next));
    } else {
        edited.append(text, (int)sectionEnd);
    }
    if (added != nullptr) {
        int terminated =
            sectionEnd == 0 || text[sectionEnd - 1] == '\n' || text[sectionEnd - 1] == '\r';
        if (!terminated) {
            edited.append("\r\n");
        }
        edited.append(added);
        edited.append("\r\n");
        if (sectionEnd == length) {
            // The main section must end with an empty line before any other.
            edited.append("\r\n");
        }
    }
    edited.append(text + sectionEnd, (int)(length - sectionEnd));
    *newLength = edited.getLength();
    return edited.createString();
}
