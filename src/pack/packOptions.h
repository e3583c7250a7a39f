#ifndef LARKWIN_PACK_PACKOPTIONS_H
#define LARKWIN_PACK_PACKOPTIONS_H

// What the command line of larkwin-pack asks for. Every string is the
// object's own; an option that was not given is null.
class packOptions {
  public:
    packOptions();
    ~packOptions();
    packOptions(const packOptions&) = delete;
    packOptions& operator=(const packOptions&) = delete;

    // Null when the command line makes sense, otherwise an owned message
    // saying what is wrong with it.
    char* createUsageError(int argc, char** argv);

    int help;
    int version;
    int noStartupCache;
    char* show;
    char* output;
    char* launcher;
    char* config;
    char* mainClass;
    char* archive;

  private:
    char* createMisuseError() const;
};

#endif
