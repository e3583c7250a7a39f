#ifndef LARKWIN_UTIL_STRINGBUFFER_H
#define LARKWIN_UTIL_STRINGBUFFER_H

// A growable byte buffer. It grows linearly, by the shortfall or by 256
// bytes, whichever is larger; it keeps no terminator.
class stringBuffer {
  public:
    stringBuffer();
    ~stringBuffer();
    stringBuffer(const stringBuffer&) = delete;
    stringBuffer& operator=(const stringBuffer&) = delete;

    void clear();
    void append(char c);
    void append(const char* s);
    void append(const char* s, int n);
    // Appends s with the Java language's \uXXXX notation for bytes below 0x20
    // and above 0x7F, and a doubled backslash for a backslash.
    void appendUnicode(const char* s);
    char* createString() const;

    int getCapacity() const { return capacity; }
    int getLength() const { return length; }
    const char* getData() const { return data; }

  private:
    void extend(int n);

    int capacity;
    int length;
    char* data;
};

#endif
