// larkwin-pack's command line: the input, split at line feeds, is the
// argument list after the program's name. Whatever it holds, the parser
// either names what is wrong in a message of one or more characters or
// accepts it, and an accepted command line gives its requests; nothing it
// does may crash, overflow or leak.

#include "fuzzSupport.h"
#include "pack/options/packOptions.h"
#include "pack/options/packRequests.h"

#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text((const char*)data, size);
    std::vector<std::string> words = {"larkwin-pack"};
    for (size_t start = 0; start <= text.size() && words.size() < 200;) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end;
        words.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(&word[0]);
    }
    argv.push_back(nullptr);
    packOptions options;
    char* error = options.createUsageError((int)words.size(), argv.data());
    expect(error == nullptr || error[0] != 0, "a refusal says why");
    if (error == nullptr && !options.help && !options.version && options.show == nullptr) {
        if (options.packages()) {
            createPackageRequest(options);
        } else if (options.appImage != nullptr) {
            createImageRequest(options);
        } else {
            createBundleRequest(options);
        }
    }
    delete[] error;
    return 0;
}
