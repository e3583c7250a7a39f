#include "config/configLines.h"

#include <cstring>

static int isBlank(char c) {
    return c == ' ' || c == '\t';
}

void forEachDirectiveLine(char* text, void (*apply)(void* context, char* word, char* argument),
                          void* context) {
    char* next = text;
    while (*next != 0) {
        char* begin = next;
        char* end = begin + strcspn(begin, "\r\n");
        next = end + strspn(end, "\r\n");
        while (isBlank(*begin)) {
            begin++;
        }
        while (end > begin && isBlank(end[-1])) {
            end--;
        }
        *end = 0;
        splitDirectiveLine(begin, apply, context);
    }
}

void splitDirectiveLine(char* line, void (*apply)(void* context, char* word, char* argument),
                        void* context) {
    if (line[0] == 0 || line[0] == '#') {
        return;
    }
    // The argument of a line without a space is the terminator of its word.
    char* argument = line + strlen(line);
    char* space = strchr(line, ' ');
    if (space != nullptr) {
        *space = 0;
        argument = space + 1;
        while (isBlank(*argument)) {
            argument++;
        }
    }
    apply(context, line, argument);
}
