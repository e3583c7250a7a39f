#include "cache/machineSize.h"

#include "util/strings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sched.h>
#include <unistd.h>

void applyCpuMax(machineSize& size, const char* text) {
    char* end;
    long long quota = strtoll(text, &end, 10);
    if (end == text || quota <= 0) {
        return;
    }
    long long period = strtoll(end, &end, 10);
    if (period <= 0) {
        return;
    }
    long long processors = (quota + period - 1) / period;
    if (processors < size.processors) {
        size.processors = (int)processors;
    }
}

void applyMemoryMax(machineSize& size, const char* text) {
    char* end;
    unsigned long long limit = strtoull(text, &end, 10);
    if (end != text && limit > 0 && limit < size.memory) {
        size.memory = limit;
    }
}

// The first line of a small file, or an empty text. Owned by the caller.
static char* createFirstLine(const char* path) {
    char line[128] = "";
    FILE* file = fopen(path, "re");
    if (file != nullptr) {
        if (fgets(line, sizeof line, file) == nullptr) {
            line[0] = 0;
        }
        fclose(file);
    }
    return createStringCopy(line);
}

// The process's cgroup v2 directory ("0::/path" in /proc/self/cgroup), or
// null. Owned by the caller.
static char* createCgroupDirectory() {
    char* line = createFirstLine("/proc/self/cgroup");
    char* directory = nullptr;
    if (startsWith(line, "0::/")) {
        line[strcspn(line, "\n")] = 0;
        directory = createString("/sys/fs/cgroup", line + 3);
    }
    delete[] line;
    return directory;
}

static void applyLimitFile(machineSize& size, const char* directory, const char* name,
                           void (*apply)(machineSize&, const char*)) {
    char* path = createString(directory, name);
    char* text = createFirstLine(path);
    apply(size, text);
    delete[] text;
    delete[] path;
}

// cgroup v1 keeps the quota and its period in two files.
static void applyCpuV1(machineSize& size) {
    char* quota = createFirstLine("/sys/fs/cgroup/cpu/cpu.cfs_quota_us");
    char* period = createFirstLine("/sys/fs/cgroup/cpu/cpu.cfs_period_us");
    quota[strcspn(quota, "\n")] = 0;
    char* both = createString(quota, " ");
    char* text = createString(both, period);
    applyCpuMax(size, text);
    delete[] text;
    delete[] both;
    delete[] period;
    delete[] quota;
}

machineSize readMachineSize() {
    machineSize size;
    cpu_set_t allowed;
    size.processors = sched_getaffinity(0, sizeof allowed, &allowed) == 0
                          ? CPU_COUNT(&allowed)
                          : (int)sysconf(_SC_NPROCESSORS_ONLN);
    size.memory = (unsigned long long)sysconf(_SC_PHYS_PAGES) * sysconf(_SC_PAGESIZE);
    char* directory = createCgroupDirectory();
    if (directory != nullptr) {
        applyLimitFile(size, directory, "/cpu.max", applyCpuMax);
        applyLimitFile(size, directory, "/memory.max", applyMemoryMax);
        delete[] directory;
    } else {
        applyCpuV1(size);
        applyLimitFile(size, "", "/sys/fs/cgroup/memory/memory.limit_in_bytes", applyMemoryMax);
    }
    return size;
}
