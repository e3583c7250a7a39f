#ifndef LARKWIN_PACK_ZIP_BUILDTIME_H
#define LARKWIN_PACK_ZIP_BUILDTIME_H

#include <optional>
#include <string>

// The one date of what larkwin-pack writes. With SOURCE_DATE_EPOCH set (the
// reproducible-builds convention, which the Maven plugin sets from
// project.build.outputTimestamp), every writer dates its output by it, so
// that two runs on the same inputs give the same bytes.

// SOURCE_DATE_EPOCH's seconds since 1970, or nothing when it is unset or
// empty. Throws when it is not a plain number of seconds.
std::optional<long> getSourceDateEpoch();

// SOURCE_DATE_EPOCH when set, else the current time.
long getBuildTime();

// The time as mail and apt's Release files write it, in UTC:
// "Tue, 14 Nov 2023 22:13:20 +0000".
std::string formatMailDate(long seconds);

#endif
