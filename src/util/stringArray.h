#ifndef LARKWIN_UTIL_STRINGARRAY_H
#define LARKWIN_UTIL_STRINGARRAY_H

// An ordered array of owned strings. The slot array always has exactly as
// many entries as there are elements.
class stringArray {
  public:
    stringArray();
    ~stringArray();
    stringArray(const stringArray&) = delete;
    stringArray& operator=(const stringArray&) = delete;

    // Takes ownership of s.
    void append(char* s);
    // Takes ownership of s and puts it at position i (0 to size()), moving
    // the elements from i on one place up.
    void insert(int i, char* s);
    void remove(int i);
    int size() const { return count; }
    // The position of the first element e with compare(key, e) == 0, or -1.
    int find(const char* key, int (*compare)(const char*, const char*)) const;
    // Borrowed: the array still owns the element.
    char* operator[](int i) const;

  private:
    char** items;
    int count;
};

#endif
