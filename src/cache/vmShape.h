#ifndef LARKWIN_CACHE_VMSHAPE_H
#define LARKWIN_CACHE_VMSHAPE_H

#include "cache/machineSize.h"
#include "util/stringArray.h"

// What of the JVM's set-up a class-data archive is bound to, told from the
// VM options before the JVM starts, the way the JVM decides it: compressed
// oops (off with -XX:-UseCompressedOops, ZGC, or a heap of 32 GiB or more),
// compressed class pointers, the object alignment, compact object headers
// (Java 24 on) and the collector (the one an option names, else G1 on a
// machine of two processors and 1792 MiB or more, else Serial).
class vmShape {
  public:
    // options: the VM options in the order the JVM reads them.
    vmShape(const stringArray& options, int featureVersion, machineSize machine);
    ~vmShape();
    vmShape(const vmShape&) = delete;
    vmShape& operator=(const vmShape&) = delete;

    // The runtime's base archive that the JVM maps with these options:
    // "classes", "_nocoops" without compressed oops, "_coh" with compact
    // object headers, ".jsa". Owned by the caller.
    char* createBaseArchiveName() const;
    // Why the runtime in home cannot map its base archive with these
    // options, or null when it can. Owned by the caller.
    char* createBaseArchiveRefusal(const char* home) const;
    // A short text of the shape, for the cache key: "coops ccp 8 G1".
    char* createDescription() const;

  private:
    void readOption(const char* option);
    void decideCollector(machineSize machine);
    void decideCompressedOops(machineSize machine);
    int hasNoBaseArchive(const char* serverDirectory) const;

    int featureVersion;
    int compressedOops;
    int compressedClassPointers;
    long long objectAlignment;
    int compactHeaders;
    const char* collector;
    unsigned long long maxHeap;
    unsigned long long maxRam;
    double ramPercentage;
    int processorCount;
    const char* uncertainty;
};

// The options the JVM reads, in its order: JAVA_TOOL_OPTIONS, then
// JDK_JAVA_OPTIONS (read by the java launcher from Java 9), then the command
// line's, then _JAVA_OPTIONS; the variables split at white space.
void collectVmOptions(stringArray& all, const stringArray& commandLineOptions);

// "-Xmx4g", "-XX:MaxHeapSize=512m": a size with an optional k, m, g or t
// (either case). 0 when the text is no size.
unsigned long long parseMemorySize(const char* text);

#endif
