#include "fuzzSupport.h"

#include "util/stringArray.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

static std::string root;

static void removeScratch() {
    std::string command = "rm -rf '" + root + "'";
    if (system(command.c_str()) != 0) {
        fprintf(stderr, "could not remove %s\n", root.c_str());
    }
}

const std::string& scratchRoot() {
    if (root.empty()) {
        char name[] = "/tmp/larkwin-fuzz-XXXXXX";
        char* made = mkdtemp(name);
        expect(made != nullptr, "scratch directory");
        char* canonical = realpath(made, nullptr);
        root = canonical;
        free(canonical);
        atexit(removeScratch);
    }
    return root;
}

std::string scratchPath(const std::string& relative) {
    return scratchRoot() + "/" + relative;
}

std::string writeScratch(const std::string& relative, const std::string& bytes) {
    std::string full = scratchPath(relative);
    FILE* file = fopen(full.c_str(), "wb");
    expect(file != nullptr, "scratch file");
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
    return full;
}

void makeScratchDir(const std::string& relative) {
    std::string command = "mkdir -p '" + scratchPath(relative) + "'";
    expect(system(command.c_str()) == 0, "scratch subdirectory");
}

void expect(bool condition, const char* what) {
    if (!condition) {
        fprintf(stderr, "expectation failed: %s\n", what);
        abort();
    }
}

void forgetTempFiles() {
    while (HACKtempFileArray.size() > 0) {
        HACKtempFileArray.remove(HACKtempFileArray.size() - 1);
    }
}
