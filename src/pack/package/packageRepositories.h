#ifndef LARKWIN_PACK_PACKAGE_PACKAGEREPOSITORIES_H
#define LARKWIN_PACK_PACKAGE_PACKAGEREPOSITORIES_H

#include "pack/repository/repositoryFiles.h"

#include <memory>
#include <string>
#include <vector>

struct packageOutput;
struct packageRequest;

// The repositories that one run's packages join. Each folder is locked,
// and every refusal made (the key, a version held with other content),
// before any package is published into its --deb or --rpm folder, so that
// a refused run leaves those folders and the repositories as they were.
class packageRepositories {
  public:
    // outputs[i]'s packages were built as built[i].
    packageRepositories(const packageRequest& request,
                        const std::vector<const packageOutput*>& outputs,
                        const std::vector<std::vector<std::string>>& built);
    // Adds the published packages, outputs[i]'s as written[i], to their
    // repositories.
    void publish(const std::vector<std::vector<std::string>>& written) const;

  private:
    const repositoryLock* lockFor(const std::string& directory);
    const packageRequest& request;
    std::vector<const packageOutput*> outputs;
    std::vector<std::string> lockedDirectories;
    std::vector<std::unique_ptr<repositoryLock>> locks;
};

// Throws unless request's name can name its subscription files and
// repository ids, and its signing keys are the repositories' own; warns
// when a key expires soon. Run before any work.
void checkPackageRepositories(const packageRequest& request);

#endif
