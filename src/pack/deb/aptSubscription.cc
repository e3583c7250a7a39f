#include "pack/deb/aptSubscription.h"

#include "pack/package/packageFormat.h"
#include "pack/package/packageSubscription.h"
#include "pack/repository/repositoryFiles.h"
#include "pack/repository/subscription.h"

std::string aptKeyringPath(const std::string& name) {
    return "/etc/apt/keyrings/" + keyringFileName(name);
}

std::string aptSourcesPath(const std::string& name) {
    return "/etc/apt/sources.list.d/" + name + ".sources";
}

std::string createAptSources(const std::string& name, const std::string& url,
                             const std::string& suite) {
    checkSubscriptionName(name, listPackageManagers());
    checkRepositoryUrl(url, listPackageManagers());
    checkSubscriptionName(suite, listPackageManagers());
    return "Types: deb\nURIs: " + url + "\nSuites: " + suite +
           "\nComponents: main\nSigned-By: " + aptKeyringPath(name) + "\n";
}

void addAptSubscription(const char* root, const std::string& name, const std::string& url,
                        const std::string& publicKey) {
    addSubscriptionFile(root, aptSourcesPath(name), createAptSources(name, url, "stable"));
    addSubscriptionFile(root, aptKeyringPath(name), publicKey);
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
    removeSubscriptionFiles(root, {aptSourcesPath(name), aptKeyringPath(name)});
}
