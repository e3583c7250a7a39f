#ifndef LARKWIN_PROCESS_CRASHREPORT_H
#define LARKWIN_PROCESS_CRASHREPORT_H

#include "util/stringArray.h"

#include <ctime>
#include <sys/types.h>

// Where a crashed JVM left its report (hs_err_pidN.log): where the last
// "-XX:ErrorFile=" option says (with %p the pid and %% a '%'), else in the
// working directory, else in /tmp, as the JVM tries them. Only a regular
// file (not a link) of the running user's, written since started, counts,
// so that an old report of a process with the same pid, or one that another
// user planted in /tmp, is not taken for it. Null when there is none; owned by
// the caller.
// errorFile is the pattern of that option (null without one).
char* createCrashReportPath(const char* errorFile, pid_t pid, time_t started);
// The pattern of the last "-XX:ErrorFile=" among options; null without one.
const char* findErrorFilePattern(const stringArray& options);

// Says on standard error, in one line, where the report is, when the JVM
// left one.
void reportCrash(const char* errorFile, pid_t pid, time_t started);

// "crashdir": the options that send the JVM's reports and heap dumps to
// directory; the options given in the configuration come later and win.
void addCrashDirectoryOptions(stringArray* options, const char* directory);

// Keeps the crash directory bounded: of the reports and heap dumps in it
// (hs_err_pid*.log, java_pid*.hprof), the newest and every one written since
// started (the last run's report and heap dump) are always kept, then the
// next newest while there are at most keptFiles and they add up to at most
// keptBytes; the older ones are removed. Other files are left alone.
void boundCrashDirectory(const char* directory, int keptFiles, long long keptBytes, time_t started);

#endif
