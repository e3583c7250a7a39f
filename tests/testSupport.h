#ifndef LARKWIN_TESTS_TESTSUPPORT_H
#define LARKWIN_TESTS_TESTSUPPORT_H

// Helpers shared by the unit tests: a scratch directory that is removed with
// everything in it, files written in one call, owned-string handling, lists
// compared as one string and the launcher's debug flag set for a while.

#include "unix/exePath.h"
#include "util/owned.h"
#include "util/stringArray.h"
#include "util/strings.h"
#include "vm/javaVm.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

// An owned copy, for the calls that take over the string they are given.
inline char* copyOf(const std::string& s) {
    return createStringCopy(s.c_str());
}

// The entries joined by "|", so that a test compares a whole list at once.
inline std::string joined(const stringArray& list) {
    std::string text;
    for (int i = 0; i < list.size(); i++) {
        text += (i > 0 ? "|" : "") + std::string(list[i]);
    }
    return text;
}

// Sets the launcher's +DEBUG flag for the lifetime of the object, then gives
// it back the value it had before.
class debugFlag {
  public:
    explicit debugFlag(int value) : previous(debug) { debug = value; }
    ~debugFlag() { debug = previous; }
    debugFlag(const debugFlag&) = delete;
    debugFlag& operator=(const debugFlag&) = delete;

  private:
    int previous;
};

// Runs f and returns the char* message it throws (empty if none).
template <typename F> std::string thrownMessage(F f) {
    try {
        f();
    } catch (char* message) {
        std::string text = message;
        delete[] message;
        return text;
    }
    return "";
}

// Runs vm; a message it throws is printed on standard output, as the
// launcher's main does, and gives false.
inline bool runPrintingFailure(javaVm& vm) {
    try {
        vm.run();
    } catch (char* message) {
        printf("%s\n", message);
        delete[] message;
        return false;
    }
    return true;
}

class scratchDir {
  public:
    scratchDir() {
        char name[] = "/tmp/larkwin-test-XXXXXX";
        char* made = mkdtemp(name);
        char* canonical = realpath(made, nullptr);
        root = canonical;
        free(canonical);
    }
    // rm copes with trees deeper than any path buffer, which nftw does not.
    ~scratchDir() {
        std::string command = "rm -rf '" + root + "'";
        if (system(command.c_str()) != 0) {
            fprintf(stderr, "could not remove %s\n", root.c_str());
        }
    }
    scratchDir(const scratchDir&) = delete;
    scratchDir& operator=(const scratchDir&) = delete;

    std::string path(const std::string& relative) const { return root + "/" + relative; }

    std::string write(const std::string& relative, const std::string& content) const {
        std::string full = path(relative);
        FILE* file = fopen(full.c_str(), "wb");
        fwrite(content.data(), 1, content.size(), file);
        fclose(file);
        return full;
    }

    std::string mkdir(const std::string& relative) const {
        std::string full = path(relative);
        ::mkdir(full.c_str(), 0755);
        return full;
    }

    std::string root;
};

// Changes the working directory for the lifetime of the object.
class workingDirectory {
  public:
    explicit workingDirectory(const std::string& directory) {
        char* current = getcwd(nullptr, 0);
        previous = current;
        free(current);
        if (chdir(directory.c_str()) != 0) {
            perror("chdir");
        }
    }
    ~workingDirectory() {
        if (chdir(previous.c_str()) != 0) {
            perror("chdir");
        }
    }

  private:
    std::string previous;
};

// Sets (or, with a null value, unsets) an environment variable for the
// lifetime of the object.
class environmentVariable {
  public:
    environmentVariable(const char* name, const char* value) : name(name) {
        const char* current = getenv(name);
        wasSet = current != nullptr;
        if (wasSet) {
            previous = current;
        }
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~environmentVariable() {
        if (wasSet) {
            setenv(name.c_str(), previous.c_str(), 1);
        } else {
            unsetenv(name.c_str());
        }
    }

  private:
    std::string name;
    std::string previous;
    bool wasSet;
};

// The names in a directory, but those that begin with a dot; none when it
// cannot be read.
inline std::set<std::string> filesIn(const std::string& directory) {
    std::set<std::string> names;
    DIR* listing = opendir(directory.c_str());
    for (struct dirent* found = listing ? readdir(listing) : nullptr; found != nullptr;
         found = readdir(listing)) {
        if (found->d_name[0] != '.') {
            names.insert(found->d_name);
        }
    }
    if (listing) {
        closedir(listing);
    }
    return names;
}

inline std::string readFile(const std::string& path) {
    std::string content;
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return content;
    }
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) {
        content.append(chunk, got);
    }
    fclose(file);
    return content;
}

#endif
