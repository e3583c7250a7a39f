#include "util/stringArray.h"

#include "util/owned.h"
#include "util/strings.h"

stringArray::stringArray() : items(nullptr), count(0) {}

stringArray::~stringArray() {
    for (int i = 0; i < count; i++) {
        delete[] items[i];
    }
    delete[] items;
}

// s is held from the start, so that it is released even when growing fails.
void stringArray::append(char* s) {
    ownedString owned(s);
    char** grown = new char*[count + 1];
    for (int i = 0; i < count; i++) {
        grown[i] = items[i];
    }
    delete[] items;
    grown[count] = owned.release();
    items = grown;
    count++;
}

void stringArray::insert(int i, char* s) {
    ownedString owned(s);
    if (i < 0 || i > count) {
        throw createStringCopy("stringArray.insert: Array index out of bounds.");
    }
    char** grown = new char*[count + 1];
    for (int j = 0; j < count; j++) {
        grown[j < i ? j : j + 1] = items[j];
    }
    grown[i] = owned.release();
    delete[] items;
    items = grown;
    count++;
}

void stringArray::remove(int i) {
    if (i < 0 || i >= count) {
        throw createStringCopy("stringArray.remove: Array index out of bounds.");
    }
    delete[] items[i];
    count--;
    char** shrunk = nullptr;
    if (count > 0) {
        shrunk = new char*[count];
        for (int j = 0; j < count; j++) {
            shrunk[j] = items[j < i ? j : j + 1];
        }
    }
    delete[] items;
    items = shrunk;
}

int stringArray::find(const char* key, int (*compare)(const char*, const char*)) const {
    for (int i = 0; i < count; i++) {
        if (compare(key, items[i]) == 0) {
            return i;
        }
    }
    return -1;
}

char* stringArray::operator[](int i) const {
    if (i < 0 || i >= count) {
        throw createStringCopy("stringArray[]: Array index out of bounds.");
    }
    return items[i];
}
