#include "pack/repository/repositoryWriter.h"

#include "pack/repository/repositoryFiles.h"
#include "pack/repository/repositoryKey.h"
#include "pack/repository/repositoryRequest.h"
#include "pack/repository/subscription.h"

// The checks of the name and the URL, then the programs.
static std::vector<std::string> findPrograms(const repositoryRequest& request,
                                             const std::vector<repositoryProgram>& needed) {
    checkSubscriptionName(request.name, request.readers);
    checkRepositoryUrl(request.url, request.readers);
    std::vector<std::string> found;
    for (const repositoryProgram& program : needed) {
        found.push_back(findProgram(program.name, program.package));
    }
    return found;
}

openedRepository::openedRepository(const repositoryRequest& request,
                                   const std::vector<repositoryProgram>& needed)
    : programs(findPrograms(request, needed)), key(openRepositoryKey(request)) {}
