#include "pack/image/profileChoice.h"

#include "pack/base/failure.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

const int timedStarts = 5;
// Profiles that save less than this share of the CPU time are not worth an
// archive twice the size, nor the JVM's thread that replays them.
static const double clearGain = 0.02;

static double medianOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

bool keepsProfiles(const std::vector<double>& with, const std::vector<double>& without) {
    return !with.empty() && !without.empty() &&
           medianOf(with) < medianOf(without) * (1 - clearGain);
}

std::string findTrainedArchive(const std::string& shipped) {
    DIR* listing = opendir(shipped.c_str());
    std::string found;
    for (struct dirent* entry = listing ? readdir(listing) : nullptr; entry && found.empty();
         entry = readdir(listing)) {
        size_t length = strlen(entry->d_name);
        if (length > 4 && strcmp(entry->d_name + length - 4, ".jsa") == 0) {
            found = shipped + "/" + entry->d_name;
        }
    }
    if (listing != nullptr) {
        closedir(listing);
    }
    return found;
}

// An archive and its record, moved together.
static void moveCandidate(const std::string& from, const std::string& to) {
    if (rename(from.c_str(), to.c_str()) != 0 ||
        rename((from + ".info").c_str(), (to + ".info").c_str()) != 0) {
        fail("Unable to rename '" + from + "' to '" + to + "': " + strerror(errno));
    }
}

static void removeCandidate(const std::string& archive) {
    unlink(archive.c_str());
    unlink((archive + ".info").c_str());
}

static bool isPresent(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0;
}

static void sayChoice(const trainingRun& run, const std::string& text) {
    if (!run.quiet) {
        printf("larkwin-pack: %s\n", text.c_str());
    }
}

// One start of the application that maps the archive, the launcher's own
// cache out of the way; its CPU seconds, or -1 when it failed.
static double timeStart(const trainingRun& run, const std::string& archive) {
    std::string option = "-J-XX:AOTCache=" + archive;
    std::vector<char*> command = {run.command[0], &option[0]};
    for (int i = 1; run.command[i] != nullptr; i++) {
        command.push_back(run.command[i]);
    }
    command.push_back(nullptr);
    trainingRun timed = {command.data(), run.cacheHome, "off", 1};
    double seconds = 0;
    return runTraining(timed, &seconds) == 0 ? seconds : -1;
}

// Starts in turns, in the other order each round, so that what else the
// machine does weighs on both alike; the first round, which reads the
// archives into the page cache, is not counted. False when a start failed.
static bool timeBoth(const trainingRun& run, const std::string& profiled, const std::string& plain,
                     std::vector<double>& with, std::vector<double>& without) {
    for (int round = 0; round <= timedStarts; round++) {
        for (int turn = 0; turn < 2; turn++) {
            bool profiles = (round + turn) % 2 == 0;
            double seconds = timeStart(run, profiles ? profiled : plain);
            if (seconds < 0) {
                return false;
            }
            if (round > 0) {
                (profiles ? with : without).push_back(seconds);
            }
        }
    }
    return true;
}

static std::string cpuText(double value) {
    char text[32];
    snprintf(text, sizeof text, "%.2f s", value);
    return text;
}

void chooseProfiles(const trainingRun& run, const std::string& shipped) {
    std::string archive = findTrainedArchive(shipped);
    std::string profiled = archive + ".profiles";
    moveCandidate(archive, profiled);
    sayChoice(run, "training again without method profiles, to compare");
    trainingRun plain = run;
    plain.control = "ship-static";
    int status = runTraining(plain, nullptr);
    std::vector<double> with, without;
    if (status != 0 || !isPresent(archive) || !timeBoth(run, profiled, archive, with, without)) {
        removeCandidate(archive);
        moveCandidate(profiled, archive);
        sayChoice(run,
                  "shipping the archive with the training run's method profiles: the comparison "
                  "failed (a run without them did not end with status 0 or left no archive)");
        return;
    }
    bool keep = keepsProfiles(with, without);
    sayChoice(run, "a start took " + cpuText(medianOf(with)) +
                       " of CPU time with the method profiles, " + cpuText(medianOf(without)) +
                       " without them (medians of " + std::to_string(timedStarts) +
                       "): shipping the archive " + (keep ? "with them" : "without them"));
    if (keep) {
        removeCandidate(archive);
        moveCandidate(profiled, archive);
    } else {
        removeCandidate(profiled);
    }
}
