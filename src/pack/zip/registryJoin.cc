#include "pack/zip/registryJoin.h"

#include "util/stringArray.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cstring>

static int isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\f';
}

static int isLineEnd(char c) {
    return c == '\n' || c == '\r';
}

// A reader of java.util.Properties' text: logical lines, with comments and
// blank lines passed over and continued lines joined.
class propertiesReader {
  public:
    propertiesReader(const char* text, long length) : text(text), length(length), position(0) {}

    // The next logical line into line; 0 at the end. *continuedAtEnd is set
    // when the text ends inside a continued line.
    int next(stringBuffer& line, int* continuedAtEnd);

  private:
    // The natural line from position on, without its terminator, moving
    // position past the terminator.
    void readNatural(long* begin, long* end);

    const char* text;
    long length;
    long position;
};

void propertiesReader::readNatural(long* begin, long* end) {
    while (position < length && isBlank(text[position])) {
        position++;
    }
    *begin = position;
    while (position < length && !isLineEnd(text[position])) {
        position++;
    }
    *end = position;
    if (position < length && text[position] == '\r') {
        position++;
    }
    if (position < length && text[position] == '\n') {
        position++;
    }
}

static int endsWithOddBackslashes(const char* text, long begin, long end) {
    long count = 0;
    while (end - count > begin && text[end - count - 1] == '\\') {
        count++;
    }
    return count % 2;
}

int propertiesReader::next(stringBuffer& line, int* continuedAtEnd) {
    line.clear();
    *continuedAtEnd = 0;
    long begin = 0;
    long end = 0;
    do {
        if (position >= length) {
            return 0;
        }
        readNatural(&begin, &end);
    } while (begin == end || text[begin] == '#' || text[begin] == '!');
    while (endsWithOddBackslashes(text, begin, end)) {
        line.append(text + begin, (int)(end - begin - 1));
        if (position >= length) {
            *continuedAtEnd = 1;
            return 1;
        }
        readNatural(&begin, &end);
    }
    line.append(text + begin, (int)(end - begin));
    return 1;
}

// Splits a logical line into its key and value, both as written (escapes
// kept), the value without the blanks in front of it.
static void splitProperty(const char* line, int length, int* keyLength, int* valueStart) {
    int i = 0;
    while (i < length && line[i] != '=' && line[i] != ':' && !isBlank(line[i])) {
        i += line[i] == '\\' ? 2 : 1;
    }
    *keyLength = i < length ? i : length;
    int separated = 0;
    while (i < length && (isBlank(line[i]) || (!separated && (line[i] == '=' || line[i] == ':')))) {
        separated = separated || line[i] == '=' || line[i] == ':';
        i++;
    }
    *valueStart = i < length ? i : length;
}

// A copy whose last line has no line feed must not run into the next
// copy's first line.
static void appendCopy(stringBuffer& joined, const char* content, long length) {
    if (joined.getLength() > 0 && !isLineEnd(joined.getData()[joined.getLength() - 1])) {
        joined.append('\n');
    }
    joined.append(content, (int)length);
}

static int continuesAtEnd(const char* content, long length) {
    propertiesReader reader(content, length);
    stringBuffer line;
    int continued = 0;
    while (reader.next(line, &continued) && !continued) {
    }
    return continued;
}

// The keys in the order first seen, and every copy's value of each.
class propertyTable {
  public:
    void add(const char* line, int length);
    // Each key once; join(key) says whether its values are joined with
    // commas or the first one wins.
    void write(stringBuffer& out, int (*join)(const char* key)) const;

  private:
    stringArray keys;
    stringArray pieceKeys;
    stringArray pieceValues;
};

static int compareKeys(const char* a, const char* b) {
    return strcmp(a, b);
}

static char* createPart(const char* text, int length) {
    stringBuffer part;
    part.append(text, length);
    return part.createString();
}

void propertyTable::add(const char* line, int length) {
    int keyLength = 0;
    int valueStart = 0;
    splitProperty(line, length, &keyLength, &valueStart);
    char* key = createPart(line, keyLength);
    if (keys.find(key, compareKeys) < 0) {
        keys.append(createStringCopy(key));
    }
    pieceKeys.append(key);
    pieceValues.append(createPart(line + valueStart, length - valueStart));
}

void propertyTable::write(stringBuffer& out, int (*join)(const char* key)) const {
    for (int k = 0; k < keys.size(); k++) {
        int joined = join(keys[k]);
        int written = 0;
        out.append(keys[k]);
        out.append('=');
        for (int p = 0; p < pieceKeys.size() && (joined || written == 0); p++) {
            if (strcmp(pieceKeys[p], keys[k]) != 0 || (joined && pieceValues[p][0] == 0)) {
                continue;
            }
            if (written++ > 0) {
                out.append(',');
            }
            out.append(pieceValues[p]);
        }
        out.append('\n');
    }
}

static int joinEveryKey(const char*) {
    return 1;
}

// Groovy reads one module of each descriptor; one descriptor holding every
// module's classes registers them all.
static int joinGroovyKey(const char* key) {
    return strcmp(key, "moduleName") == 0 || strcmp(key, "extensionClasses") == 0 ||
           strcmp(key, "staticExtensionClasses") == 0;
}

static void joinProperties(mergeRule rule, const char* const* contents, const long* lengths,
                           int count, stringBuffer& joined) {
    propertyTable table;
    for (int i = 0; i < count; i++) {
        propertiesReader reader(contents[i], lengths[i]);
        stringBuffer line;
        int continued = 0;
        while (reader.next(line, &continued)) {
            table.add(line.getData(), line.getLength());
        }
    }
    table.write(joined, rule == groovyModuleEntry ? joinGroovyKey : joinEveryKey);
}

int joinRegistry(mergeRule rule, const char* const* contents, const long* lengths, int count,
                 stringBuffer& joined) {
    if (rule == joinValuesEntry || rule == groovyModuleEntry) {
        joinProperties(rule, contents, lengths, count, joined);
        return -1;
    }
    for (int i = 0; i < count; i++) {
        if (rule == appendEntry && i + 1 < count && continuesAtEnd(contents[i], lengths[i])) {
            return i;
        }
        appendCopy(joined, contents[i], lengths[i]);
    }
    return -1;
}
