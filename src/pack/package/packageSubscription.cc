#include "pack/package/packageSubscription.h"

#include "pack/repository/repositoryFiles.h"
#include "pack/repository/subscription.h"
#include "util/stringArray.h"
#include "util/strings.h"

#include <sys/stat.h>
#include <unistd.h>

// Writes the file at root + path, with the directories above it made as a
// package has them (0755, whatever the umask).
static void addFile(const std::string& root, const std::string& path, const std::string& text) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        std::string directory = root + path.substr(0, slash);
        makeDirectory(directory);
        chmod(directory.c_str(), 0755);
    }
    replaceFile(root + path, text, 0644);
}

void addAptSubscription(const char* root, const std::string& name, const std::string& url,
                        const std::string& publicKey) {
    addFile(root, aptSourcesPath(name), createAptSources(name, url, "stable"));
    addFile(root, aptKeyringPath(name), publicKey);
    std::string overrides = std::string(root) + "/usr/share/lintian/overrides/" + name;
    replaceFile(overrides,
                readFile(overrides) +
                    "# The package subscribes to its own signed repository, so that apt brings\n"
                    "# its updates; the key it names is trusted for that repository alone.\n" +
                    name + ": package-installs-apt-sources [" + aptSourcesPath(name).substr(1) +
                    "]\n",
                0644);
}

void removeAptSubscription(const char* root, const std::string& name) {
    for (const std::string& path : {aptSourcesPath(name), aptKeyringPath(name)}) {
        unlink((root + path).c_str());
    }
}

void addRpmSubscription(const char* root, const std::string& name, const std::string& url,
                        const std::string& publicKey, stringArray& files) {
    std::string repo = createRpmRepo(name, url, "file://" + rpmKeyPath(name));
    addFile(root, rpmRepoPath(name), repo);
    addFile(root, rpmKeyPath(name), publicKey);
    files.append(createStringCopy(("%config(noreplace) " + rpmRepoPath(name)).c_str()));
    files.append(createStringCopy(rpmKeyPath(name).c_str()));
}

void removeRpmSubscription(const char* root, const std::string& name) {
    for (const std::string& path : {rpmRepoPath(name), rpmKeyPath(name)}) {
        unlink((root + path).c_str());
    }
}
