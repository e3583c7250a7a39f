#include "pack/repository/repositoryKey.h"

#include "pack/repository/repositoryFiles.h"
#include "pack/repository/repositoryRequest.h"
#include "pack/repository/subscription.h"

#include <algorithm>
#include <sstream>

signingKey openRepositoryKey(const repositoryRequest& request) {
    signingKey key(request.signingKey);
    if (!request.nextSigningKey.empty()) {
        key.alsoSignWith(request.nextSigningKey);
    }
    return key;
}

std::vector<std::string> readKeyring(const std::string& gpg, const std::string& path) {
    std::vector<std::string> found;
    if (!fileExists(path)) {
        return found;
    }
    std::istringstream lines(runProgram(
        {gpg, "--batch", "--with-colons", "--with-fingerprint", "--show-keys", "--", path}));
    bool afterKey = false;
    for (std::string line; std::getline(lines, line);) {
        if (line.compare(0, 4, "pub:") == 0) {
            afterKey = true;
        } else if (afterKey && line.compare(0, 4, "fpr:") == 0) {
            size_t end = line.find(':', 12);
            found.push_back(line.substr(12, end == std::string::npos ? end : end - 12));
            afterKey = false;
        }
    }
    return found;
}

void checkRepositoryKey(const repositoryRequest& request, const signingKey& key) {
    std::string keyring = request.directory + "/" + keyringFileName(request.name);
    std::vector<std::string> trusted = readKeyring(key.gpg(), keyring);
    if (trusted.empty() ||
        std::find(trusted.begin(), trusted.end(), key.fingerprint()) != trusted.end()) {
        return;
    }
    std::string names;
    for (const std::string& fingerprint : trusted) {
        names += (names.empty() ? "" : ", ") + fingerprint;
    }
    fail("the repository '" + request.directory + "' is signed by " + names + ", not by " +
         key.fingerprint() +
         ", and its subscribers trust that key alone: to change keys, publish once with "
         "--sign-key OLD --next-sign-key NEW, then, once the machines have that version, with "
         "--sign-key NEW");
}

std::string findExpiryWarning(const signingKey& key, long now) {
    const long days = 90;
    if (key.expires() == 0 || key.expires() - now > days * 24 * 3600) {
        return "";
    }
    long left = (key.expires() - now) / (24 * 3600);
    return "the signing key " + key.fingerprint() + " expires in " + std::to_string(left) +
           " days: extend it (gpg --quick-set-expire) and publish again, or change keys with "
           "--next-sign-key, before the machines that subscribe stop taking updates";
}

repositoryRequest lockRepository(const repositoryRequest& request, const signingKey& key,
                                 std::unique_ptr<repositoryLock>* own) {
    repositoryRequest locked = request;
    if (locked.lock == nullptr) {
        own->reset(new repositoryLock(request.directory));
        locked.lock = own->get();
    }
    checkRepositoryKey(locked, key);
    return locked;
}
