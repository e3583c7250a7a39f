#ifndef LARKWIN_PACK_IMAGE_PROFILECHOICE_H
#define LARKWIN_PACK_IMAGE_PROFILECHOICE_H

#include "pack/image/trainingRun.h"

#include <string>
#include <vector>

// On a runtime that records method profiles, a training run makes an AOT
// cache with them, and the JVM replays them: it compiles the methods that
// were hot ahead of their use, which one application's start earns back
// and another's does not (measured: Groovy's start 6% cheaper, checkstyle's
// 10% dearer). So once that archive is made, the application is trained
// again without profiles, each archive is timed by the CPU time of a few
// starts, taken in turns, and the one with profiles is shipped only when it
// is clearly cheaper; else the smaller archive without them.
//
// After the run (a training one, whose control makes profiles) left its
// archive in the folder shipped; what the launcher would ship in the end is
// left there, with nothing beside it.
void chooseProfiles(const trainingRun& run, const std::string& shipped);

// The rule: the medians of CPU seconds with profiles and without them.
bool keepsProfiles(const std::vector<double>& with, const std::vector<double>& without);

// The path of the archive in the folder shipped ("NAME.jsa"); empty when
// there is none.
std::string findTrainedArchive(const std::string& shipped);

// The starts timed of each archive.
extern const int timedStarts;

#endif
