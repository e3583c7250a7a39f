#ifndef LARKWIN_TESTS_UNIX_REPLACEDENVIRONMENT_H
#define LARKWIN_TESTS_UNIX_REPLACEDENVIRONMENT_H

// Replaces the whole process environment with the given entries (none at all
// when null) for the lifetime of the object. Nothing may call setenv or
// putenv meanwhile.

#include <string>
#include <vector>

extern char** environ;

class replacedEnvironment {
  public:
    explicit replacedEnvironment(std::vector<std::string> entries, bool null = false)
        : storage(std::move(entries)), saved(environ) {
        for (std::string& entry : storage) {
            pointers.push_back(&entry[0]);
        }
        pointers.push_back(nullptr);
        environ = null ? nullptr : pointers.data();
    }
    ~replacedEnvironment() { environ = saved; }
    replacedEnvironment(const replacedEnvironment&) = delete;
    replacedEnvironment& operator=(const replacedEnvironment&) = delete;

  private:
    std::vector<std::string> storage;
    std::vector<char*> pointers;
    char** saved;
};

#endif
