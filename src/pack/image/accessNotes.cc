#include "pack/image/accessNotes.h"

#include "runtime/runtimeImage.h"
#include "util/stringArray.h"
#include "vm/moduleAccess.h"

#include <cstdio>
#include <cstring>

static void noteLine(const runtimeImage& image, const std::string& line, const char* word) {
    std::string prefix = std::string(word) + " ";
    if (line.compare(0, prefix.size(), prefix) != 0) {
        return;
    }
    stringArray entries;
    addManifestAccess(entries, line.c_str() + prefix.size());
    for (int i = 0; i < entries.size(); i++) {
        const char* omission = findAccessOmission(image, entries[i]);
        if (omission != nullptr) {
            fprintf(stderr, "larkwin-pack: %s %s is left out at every start: %s\n", word,
                    entries[i], omission);
        }
    }
}

void noteAbsentAccess(const char* configuration, const std::string& runtime) {
    runtimeImage image(runtime.c_str());
    std::string text = configuration;
    for (size_t begin = 0; begin < text.size();) {
        size_t end = text.find('\n', begin);
        end = end == std::string::npos ? text.size() : end;
        std::string line = text.substr(begin, end - begin);
        noteLine(image, line, "addexports");
        noteLine(image, line, "addopens");
        begin = end + 1;
    }
}
