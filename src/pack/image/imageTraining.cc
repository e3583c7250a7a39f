#include "pack/image/imageTraining.h"

#include "cache/cacheMechanism.h"
#include "pack/image/profileChoice.h"
#include "runtime/runtimeRelease.h"
#include "util/stringArray.h"
#include "util/strings.h"

#include <cstdio>
#include <string>
#include <vector>

static std::string commandText(char* const* command) {
    std::string text;
    for (int i = 0; command[i] != nullptr; i++) {
        text += (i > 0 ? " " : "") + std::string(command[i]);
    }
    return text;
}

static std::string failure(int status, char* const* command) {
    std::string run = "the training run '" + commandText(command) + "' ";
    if (status < 0) {
        return run + "did not end within " + std::to_string(trainingSeconds) + " seconds";
    }
    if (status != 0) {
        return run + "ended with exit status " + std::to_string(status);
    }
    return run + "made no start-up archive; its +DEBUG output says why";
}

void trainLauncher(const char* launcher, const stringArray& arguments, const char* cacheHome,
                   const char* shipped, const char* runtimeHome, int quiet) {
    std::string program = launcher;
    std::vector<char*> command = {&program[0]};
    for (int i = 0; i < arguments.size(); i++) {
        command.push_back(arguments[i]);
    }
    command.push_back(nullptr);
    if (!quiet) {
        printf("larkwin-pack: training the start-up archive with '%s'\n",
               commandText(command.data()).c_str());
    }
    trainingRun run = {command.data(), cacheHome, "ship", quiet};
    int status = runTraining(run, nullptr);
    if (status != 0 || findTrainedArchive(shipped).empty()) {
        throw createStringCopy(failure(status, command.data()).c_str());
    }
    if (trainsWithProfiles(runtimeRelease(runtimeHome).getFeatureVersion())) {
        chooseProfiles(run, shipped);
    }
}

void trainApplicationDirectory(const char* image, const char* name, const stringArray& arguments,
                               int quiet) {
    std::string launcher = std::string(image) + "/bin/" + name;
    std::string shipped = std::string(image) + "/lib/startupcache";
    std::string runtime = std::string(image) + "/runtime";
    trainLauncher(launcher.c_str(), arguments, nullptr, shipped.c_str(), runtime.c_str(), quiet);
}
