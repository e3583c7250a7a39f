#include "pack/package/packageSubscription.h"

#include "pack/repository/repositoryFiles.h"

#include <sys/stat.h>
#include <unistd.h>

void addSubscriptionFile(const std::string& root, const std::string& path,
                         const std::string& text) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        std::string directory = root + path.substr(0, slash);
        makeDirectory(directory);
        chmod(directory.c_str(), 0755);
    }
    replaceFile(root + path, text, 0644);
}

void removeSubscriptionFiles(const std::string& root, const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        unlink((root + path).c_str());
    }
}
