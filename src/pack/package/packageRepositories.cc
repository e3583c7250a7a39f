#include "pack/package/packageRepositories.h"

#include "pack/package/packageFormat.h"
#include "pack/package/packageRequest.h"
#include "pack/repository/repositoryKey.h"
#include "pack/repository/repositoryRequest.h"
#include "pack/repository/subscription.h"

#include <cstdio>
#include <ctime>

static repositoryRequest createRepositoryRequest(const packageRequest& request,
                                                 const packageOutput& output,
                                                 const std::vector<std::string>& packages) {
    repositoryRequest repository;
    repository.directory = output.repository;
    repository.packages = packages;
    repository.signingKey = request.updates->signingKey;
    repository.nextSigningKey = request.updates->nextSigningKey;
    repository.url = request.updates->url;
    repository.name = request.name;
    repository.keep = request.updates->keep;
    repository.quiet = request.image.quiet;
    repository.readers = listPackageManagers();
    return repository;
}

packageRepositories::packageRepositories(const packageRequest& packages,
                                         const std::vector<const packageOutput*>& asked,
                                         const std::vector<std::vector<std::string>>& built)
    : request(packages), outputs(asked) {
    for (size_t i = 0; i < outputs.size(); i++) {
        if (!outputs[i]->repository.empty()) {
            repositoryRequest repository = createRepositoryRequest(request, *outputs[i], built[i]);
            repository.lock = lockFor(repository.directory);
            outputs[i]->format->prepare(repository);
        }
    }
}

// One lock a folder: an apt and an rpm repository may share one.
const repositoryLock* packageRepositories::lockFor(const std::string& directory) {
    for (size_t i = 0; i < lockedDirectories.size(); i++) {
        if (lockedDirectories[i] == directory) {
            return locks[i].get();
        }
    }
    locks.emplace_back(new repositoryLock(directory));
    lockedDirectories.push_back(directory);
    return locks.back().get();
}

void packageRepositories::publish(const std::vector<std::vector<std::string>>& written) const {
    for (size_t i = 0; i < outputs.size(); i++) {
        if (outputs[i]->repository.empty()) {
            continue;
        }
        repositoryRequest repository = createRepositoryRequest(request, *outputs[i], written[i]);
        for (size_t j = 0; j < lockedDirectories.size(); j++) {
            repository.lock =
                lockedDirectories[j] == repository.directory ? locks[j].get() : repository.lock;
        }
        outputs[i]->format->publish(repository);
    }
}

void checkPackageRepositories(const packageRequest& request) {
    if (!request.updates) {
        return;
    }
    checkSubscriptionName(request.name, listPackageManagers());
    bool warned = false;
    for (const packageOutput& output : request.outputs) {
        if (output.repository.empty()) {
            continue;
        }
        repositoryRequest repository = createRepositoryRequest(request, output, {});
        signingKey key = openRepositoryKey(repository);
        checkRepositoryKey(repository, key);
        std::string warning = findExpiryWarning(key, (long)time(nullptr));
        if (!warning.empty() && !warned) {
            fprintf(stderr, "larkwin-pack: warning: %s\n", warning.c_str());
            warned = true;
        }
    }
}
