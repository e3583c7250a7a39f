// createAbsolutePath: a base chosen by the first input byte among the kinds
// of base in a scratch tree (directory, file, link, missing, working
// directory, root), and the rest of the input as the path text. The result is
// compared with a resolution written independently, component by component.

#include "fuzzSupport.h"
#include "unix/files.h"
#include "util/strings.h"

#include <cstdlib>
#include <unistd.h>
#include <vector>

static std::string canonical(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    std::string result = resolved != nullptr ? resolved : path;
    free(resolved);
    return result;
}

// Components appended to a base; ".." stops at the root.
static std::string resolve(const std::string& base, const std::string& path) {
    std::vector<std::string> parts;
    size_t begin = 1;
    while (begin <= base.size()) {
        size_t end = base.find('/', begin);
        end = end == std::string::npos ? base.size() : end;
        if (end > begin) {
            parts.push_back(base.substr(begin, end - begin));
        }
        begin = end + 1;
    }
    begin = 0;
    while (begin < path.size()) {
        size_t end = path.find('/', begin);
        end = end == std::string::npos ? path.size() : end;
        std::string part = path.substr(begin, end - begin);
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (part != ".") {
            parts.push_back(part);
        }
        begin = end + 1;
    }
    std::string result;
    for (const std::string& part : parts) {
        result += "/" + part;
    }
    return result.empty() ? "/" : result;
}

static void makeTree() {
    makeScratchDir("base/dir/sub");
    writeScratch("base/dir/file", "x");
    std::string link = scratchPath("base/link");
    expect(symlink("dir/sub", link.c_str()) == 0 || access(link.c_str(), F_OK) == 0, "link");
    expect(chdir(scratchPath("base/dir").c_str()) == 0, "working directory");
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool made = false;
    if (!made) {
        makeTree();
        made = true;
    }
    if (size < 1) {
        return -1;
    }
    static const char* const bases[] = {"base/dir", "base/dir/file", "base/link", "base/dir/sub"};
    std::string path((const char*)data + 1, size - 1);
    path = path.substr(0, path.find('\0'));
    int choice = data[0] % 6;
    std::string base;
    char* result;
    if (choice < 4) {
        base = scratchPath(bases[choice]);
        result = createAbsolutePath(&base[0], &path[0]);
    } else if (choice == 4) {
        base = scratchPath("base/dir");
        result = createAbsolutePath(nullptr, &path[0]);
    } else {
        base = "/";
        result = createAbsolutePath(&base[0], &path[0]);
    }
    std::string expected;
    if (!path.empty() && path[0] == '/') {
        expected = path;
    } else {
        expected = resolve(canonical(base), path);
    }
    expect(expected == result, "resolution by components");
    delete[] result;
    return 0;
}
