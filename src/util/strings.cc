#include "util/strings.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

char* createStringCopy(const char* s) {
    size_t length = strlen(s);
    char* copy = new char[length + 1];
    memcpy(copy, s, length + 1);
    return copy;
}

char* createString(const char* a, const char* b) {
    size_t lengthA = strlen(a);
    size_t lengthB = strlen(b);
    char* joined = new char[lengthA + lengthB + 1];
    memcpy(joined, a, lengthA);
    memcpy(joined + lengthA, b, lengthB + 1);
    return joined;
}

char* createMessage(const char* format, ...) {
    va_list measured;
    va_start(measured, format);
    int length = vsnprintf(nullptr, 0, format, measured);
    va_end(measured);
    if (length < 0) {
        return createStringCopy(format);
    }
    char* message = new char[length + 1];
    va_list written;
    va_start(written, format);
    vsnprintf(message, length + 1, format, written);
    va_end(written);
    return message;
}

int startsWith(const char* text, const char* prefix) {
    return strncmp(text, prefix, strlen(prefix)) == 0;
}
