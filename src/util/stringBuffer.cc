#include "util/stringBuffer.h"

#include <cstring>

static const int minimumStep = 256;

stringBuffer::stringBuffer() : capacity(0), length(0), data(nullptr) {}

stringBuffer::~stringBuffer() {
    delete[] data;
}

void stringBuffer::clear() {
    length = 0;
}

void stringBuffer::extend(int n) {
    int step = n >= minimumStep ? n : minimumStep;
    char* grown = new char[capacity + step];
    if (data != nullptr) {
        memcpy(grown, data, length);
        delete[] data;
    }
    data = grown;
    capacity += step;
}

void stringBuffer::append(char c) {
    if (length == capacity) {
        extend(1);
    }
    data[length++] = c;
}

void stringBuffer::append(const char* s) {
    append(s, (int)strlen(s));
}

void stringBuffer::append(const char* s, int n) {
    int shortfall = length + n - capacity;
    if (shortfall > 0) {
        extend(shortfall);
    }
    if (n > 0) {
        memcpy(data + length, s, n);
        length += n;
    }
}

static bool isPlainByte(char c) {
    return (signed char)c > 31 && c != '\\';
}

void stringBuffer::appendUnicode(const char* s) {
    static const char hexDigits[] = "0123456789abcdef";
    for (;;) {
        int run = 0;
        while (isPlainByte(s[run])) {
            run++;
        }
        if (run > 0) {
            append(s, run);
            s += run;
        }
        unsigned char c = (unsigned char)*s;
        if (c == 0) {
            return;
        }
        if (c == '\\') {
            append("\\\\", 2);
        } else {
            char escape[6] = {'\\', 'u', '0', '0', hexDigits[c >> 4], hexDigits[c & 15]};
            append(escape, 6);
        }
        s++;
    }
}

char* stringBuffer::createString() const {
    char* result = new char[length + 1];
    if (length > 0) {
        memcpy(result, data, length);
    }
    result[length] = 0;
    return result;
}
