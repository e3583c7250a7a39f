#ifndef LARKWIN_CONFIG_PARSECHAIN_H
#define LARKWIN_CONFIG_PARSECHAIN_H

// The canonical paths of the configuration files whose parse is under way,
// outermost first: an include of one of them would nest without end.

// 1 if canonicalPath is being parsed, else 0.
int isBeingParsed(const char* canonicalPath);

// How many texts are being parsed, the outermost included.
int getParseDepth();

// Records a text as being parsed, and a file by its path, for the lifetime of the
// object; a null path records no file.
class parseMark {
  public:
    explicit parseMark(const char* canonicalPath);
    ~parseMark();
    parseMark(const parseMark&) = delete;
    parseMark& operator=(const parseMark&) = delete;

  private:
    int marked;
};

#endif
