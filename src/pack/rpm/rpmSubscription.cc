#include "pack/rpm/rpmSubscription.h"

#include "pack/package/packageFormat.h"
#include "pack/package/packageSubscription.h"
#include "pack/repository/subscription.h"

std::string rpmKeyPath(const std::string& name) {
    return "/etc/pki/rpm-gpg/RPM-GPG-KEY-" + name;
}

std::string rpmRepoPath(const std::string& name) {
    return "/etc/yum.repos.d/" + name + ".repo";
}

std::string createRpmRepo(const std::string& name, const std::string& url,
                          const std::string& keyUrl) {
    checkSubscriptionName(name, listPackageManagers());
    checkRepositoryUrl(url, listPackageManagers());
    checkRepositoryUrl(keyUrl, listPackageManagers());
    return "[" + name + "]\nname=" + name + "\nbaseurl=" + url +
           "\nenabled=1\ngpgcheck=1\nrepo_gpgcheck=1\ngpgkey=" + keyUrl + "\n";
}

std::vector<std::string> addRpmSubscription(const char* root, const std::string& name,
                                            const std::string& url, const std::string& publicKey) {
    std::string repo = createRpmRepo(name, url, "file://" + rpmKeyPath(name));
    addSubscriptionFile(root, rpmRepoPath(name), repo);
    addSubscriptionFile(root, rpmKeyPath(name), publicKey);
    return {"%config(noreplace) " + rpmRepoPath(name), rpmKeyPath(name)};
}

void removeRpmSubscription(const char* root, const std::string& name) {
    removeSubscriptionFiles(root, {rpmRepoPath(name), rpmKeyPath(name)});
}
