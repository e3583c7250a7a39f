#include "process/crashReport.h"

#include "unix/files.h"
#include "util/owned.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

static const char errorFileOption[] = "-XX:ErrorFile=";

// The JVM's expansion of its file name patterns.
static char* createExpandedPattern(const char* pattern, pid_t pid) {
    char number[24];
    snprintf(number, sizeof number, "%ld", (long)pid);
    stringBuffer expanded;
    for (const char* c = pattern; *c != 0; c++) {
        if (c[0] == '%' && c[1] == 'p') {
            expanded.append(number);
            c++;
        } else if (c[0] == '%' && c[1] == '%') {
            expanded.append('%');
            c++;
        } else {
            expanded.append(*c);
        }
    }
    return expanded.createString();
}

const char* findErrorFilePattern(const stringArray& options) {
    const char* pattern = nullptr;
    for (int i = 0; i < options.size(); i++) {
        if (startsWith(options[i], errorFileOption)) {
            pattern = options[i] + strlen(errorFileOption);
        }
    }
    return pattern;
}

// Another user may plant a file under a report's name in /tmp (or link one
// there): only a regular file of this user's, written since, is taken.
static int isOwnFileWrittenSince(const char* path, time_t started) {
    struct stat status;
    return lstat(path, &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == geteuid() &&
           status.st_mtime >= started;
}

char* createCrashReportPath(const char* errorFile, pid_t pid, time_t started) {
    char defaultName[48];
    snprintf(defaultName, sizeof defaultName, "hs_err_pid%ld.log", (long)pid);
    char inTmp[64];
    snprintf(inTmp, sizeof inTmp, "/tmp/%s", defaultName);
    ownedString candidates[3] = {
        ownedString(errorFile != nullptr ? createExpandedPattern(errorFile, pid) : nullptr),
        ownedString(createStringCopy(defaultName)), ownedString(createStringCopy(inTmp))};
    for (const ownedString& candidate : candidates) {
        if (candidate && isOwnFileWrittenSince(candidate.get(), started)) {
            return createAbsolutePath(nullptr, candidate.get());
        }
    }
    return nullptr;
}

void reportCrash(const char* errorFile, pid_t pid, time_t started) {
    ownedString report(createCrashReportPath(errorFile, pid, started));
    if (report) {
        fprintf(stderr, "The Java VM crashed; its report is %s\n", report.get());
    }
}

void addCrashDirectoryOptions(stringArray* options, const char* directory) {
    ownedString errorFile(createString(errorFileOption, directory));
    options->append(createString(errorFile.get(), "/hs_err_pid%p.log"));
    options->append(createString("-XX:HeapDumpPath=", directory));
}

static int isCrashFile(const char* name) {
    size_t length = strlen(name);
    return (startsWith(name, "hs_err_pid") && length > 4 &&
            strcmp(name + length - 4, ".log") == 0) ||
           (startsWith(name, "java_pid") && length > 6 && strcmp(name + length - 6, ".hprof") == 0);
}

static void listCrashFiles(const char* directory, stringArray* paths) {
    ownedString prefix(createString(directory, "/"));
    DIR* listing = opendir(directory);
    if (listing == nullptr) {
        return;
    }
    while (struct dirent* entry = readdir(listing)) {
        if (isCrashFile(entry->d_name)) {
            paths->append(createString(prefix.get(), entry->d_name));
        }
    }
    closedir(listing);
}

// The indexes of the regular files among paths, newest first, with their
// sizes and times of change (in seconds); their count.
static int sortNewestFirst(const stringArray& paths, int* order, long long* sizes,
                           time_t* seconds) {
    ownedArray<long long> times(new long long[paths.size()]);
    int count = 0;
    for (int i = 0; i < paths.size(); i++) {
        struct stat status;
        if (lstat(paths[i], &status) != 0 || !S_ISREG(status.st_mode)) {
            continue;
        }
        times[i] = (long long)status.st_mtim.tv_sec * 1000000000LL + status.st_mtim.tv_nsec;
        sizes[i] = (long long)status.st_size;
        seconds[i] = status.st_mtime;
        int place = count++;
        for (; place > 0 && times[order[place - 1]] < times[i]; place--) {
            order[place] = order[place - 1];
        }
        order[place] = i;
    }
    return count;
}

void boundCrashDirectory(const char* directory, int keptFiles, long long keptBytes,
                         time_t started) {
    stringArray paths;
    listCrashFiles(directory, &paths);
    ownedArray<int> order(new int[paths.size() + 1]);
    ownedArray<long long> sizes(new long long[paths.size() + 1]);
    ownedArray<time_t> seconds(new time_t[paths.size() + 1]);
    int count = sortNewestFirst(paths, order.get(), sizes.get(), seconds.get());
    long long total = 0;
    int full = 0;
    for (int k = 0; k < count; k++) {
        long long size = sizes[order[k]];
        // Newest first: the files of the last run come before any other.
        int recent = seconds[order[k]] >= started;
        full = full || (!recent && k > 0 && (k >= keptFiles || total + size > keptBytes));
        if (full) {
            unlink(paths[order[k]]);
        }
        total += size;
    }
}
