#include "cache/machineSize.h"

#include "util/owned.h"
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
    ownedString line(createFirstLine("/proc/self/cgroup"));
    if (!startsWith(line.get(), "0::/")) {
        return nullptr;
    }
    line[strcspn(line.get(), "\n")] = 0;
    return createString("/sys/fs/cgroup", line.get() + 3);
}

static void applyLimitFile(machineSize& size, const char* directory, const char* name,
                           void (*apply)(machineSize&, const char*)) {
    ownedString path(createString(directory, name));
    ownedString text(createFirstLine(path.get()));
    apply(size, text.get());
}

// cgroup v1 keeps the quota and its period in two files.
static void applyCpuV1(machineSize& size) {
    ownedString quota(createFirstLine("/sys/fs/cgroup/cpu/cpu.cfs_quota_us"));
    ownedString period(createFirstLine("/sys/fs/cgroup/cpu/cpu.cfs_period_us"));
    quota[strcspn(quota.get(), "\n")] = 0;
    ownedString both(createString(quota.get(), " "));
    ownedString text(createString(both.get(), period.get()));
    applyCpuMax(size, text.get());
}

machineSize readMachineSize() {
    machineSize size;
    cpu_set_t allowed;
    size.processors = sched_getaffinity(0, sizeof allowed, &allowed) == 0
                          ? CPU_COUNT(&allowed)
                          : (int)sysconf(_SC_NPROCESSORS_ONLN);
    size.memory = (unsigned long long)sysconf(_SC_PHYS_PAGES) * sysconf(_SC_PAGESIZE);
    ownedString directory(createCgroupDirectory());
    if (directory != nullptr) {
        applyLimitFile(size, directory.get(), "/cpu.max", applyCpuMax);
        applyLimitFile(size, directory.get(), "/memory.max", applyMemoryMax);
    } else {
        applyCpuV1(size);
        applyLimitFile(size, "", "/sys/fs/cgroup/memory/memory.limit_in_bytes", applyMemoryMax);
    }
    return size;
}
