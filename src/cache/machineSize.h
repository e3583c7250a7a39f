#ifndef LARKWIN_CACHE_MACHINESIZE_H
#define LARKWIN_CACHE_MACHINESIZE_H

// The processors and the memory that a JVM started now would see: the CPUs
// this process may run on and the machine's memory, each cut to the cgroup's
// limit (cpu.max, memory.max of cgroup v2; the v1 quota and limit files).
struct machineSize {
    int processors;
    unsigned long long memory;
};

machineSize readMachineSize();

// The cgroup v2 limits from the text of cpu.max ("max 100000" or
// "150000 100000") and memory.max ("max" or bytes): processors rounded up,
// each left as it was when the text sets none or cannot be read.
void applyCpuMax(machineSize& size, const char* text);
void applyMemoryMax(machineSize& size, const char* text);

#endif
