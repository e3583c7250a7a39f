#include "pack/zip/mergeMessages.h"

#include "pack/zip/printableName.h"
#include "pack/zip/zipArchive.h"
#include "util/stringBuffer.h"

#include <cstring>

const char* const mergeTooLarge =
    "the merged archive needs ZIP64 records, which larkwin-pack cannot write";

void appendQuoted(stringBuffer& line, const char* name, int length) {
    line.append('\'');
    appendPrintable(line, name, length);
    line.append('\'');
}

static void appendQuotedPath(stringBuffer& line, const zipArchive* archive) {
    appendQuoted(line, archive->getPath(), (int)strlen(archive->getPath()));
}

char* createCannotMerge(const char* name, int length, const zipArchive* archive,
                        const char* reason) {
    stringBuffer message;
    message.append("cannot merge ");
    appendQuoted(message, name, length);
    message.append(" of ");
    appendQuotedPath(message, archive);
    message.append(": ");
    message.append(reason);
    return message.createString();
}

char* createDroppedLine(const char* name, int length, const zipArchive* archive,
                        const zipArchive* first) {
    stringBuffer line;
    line.append("dropped duplicate ");
    appendQuoted(line, name, length);
    line.append(" of ");
    appendQuotedPath(line, archive);
    line.append(" (kept the one of ");
    appendQuotedPath(line, first);
    line.append(")");
    return line.createString();
}
