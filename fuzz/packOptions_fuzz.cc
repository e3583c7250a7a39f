// larkwin-pack's command line: the input, split at line feeds, is the
// argument list after the program's name. Whatever it holds, the parser and
// the checks either name what is wrong or accept it, and an accepted command
// line gives its requests; nothing they do may crash, overflow or leak.

#include "pack/options/optionChecks.h"
#include "pack/options/optionParser.h"
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
    std::string error = parseCommandLine((int)words.size(), argv.data(), &options);
    if (error.empty()) {
        error = checkCommandLine(options);
        if (error.empty() && !options.help && !options.version && !options.show.has_value()) {
            if (options.packages()) {
                createPackageRequest(options);
            } else if (options.appImage.has_value()) {
                createImageRequest(options);
            } else if (options.oneFile()) {
                createOneFileRequest(options);
            } else {
                createBundleRequest(options);
            }
        }
    }
    return 0;
}
