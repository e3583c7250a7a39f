#include "cache/vmShape.h"

#include "unix/files.h"
#include "util/owned.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

static const unsigned long long mebibyte = 1024ull * 1024;
static const unsigned long long gibibyte = 1024 * mebibyte;
// Compressed oops reach 32 GiB with 8-byte alignment; the JVM keeps them up
// to a little below that (it takes 32736m but not 32767m), so a heap close
// to it cannot be told from here.
static const unsigned long long coopsSure = 32 * gibibyte - 256 * mebibyte;
static const unsigned long long coopsGone = 32 * gibibyte;
// What the JVM calls a server class machine (two processors, 2 GiB less
// what firmware keeps) gets G1 by default.
static const unsigned long long serverMemory = 2 * gibibyte - 256 * mebibyte;

vmShape::vmShape(const stringArray& options, int featureVersion, machineSize machine)
    : featureVersion(featureVersion), compressedOops(-1), compressedClassPointers(1),
      objectAlignment(8), compactHeaders(0), collector(nullptr), maxHeap(0), maxRam(0),
      ramPercentage(-1), processorCount(0), uncertainty(nullptr) {
    for (int i = 0; i < options.size(); i++) {
        readOption(options[i]);
    }
    decideCollector(machine);
    decideCompressedOops(machine);
}

vmShape::~vmShape() {}

unsigned long long parseMemorySize(const char* text) {
    char* end;
    unsigned long long number = strtoull(text, &end, 10);
    if (end == text || *text == '-') {
        return 0;
    }
    const char* units = "kmgt";
    const char* unit = *end != 0 ? strchr(units, *end | 0x20) : nullptr;
    if (*end != 0 && (unit == nullptr || end[1] != 0)) {
        return 0;
    }
    for (const char* u = units; unit != nullptr && u <= unit; u++) {
        number = number > (~0ull >> 10) ? ~0ull : number * 1024;
    }
    return number;
}

static const char* const collectors[] = {"Serial", "Parallel", "G1", "Z", "Shenandoah", "Epsilon"};

// "-XX:+UseG1GC" and the like: the collector's name, or null.
static const char* namedCollector(const char* flag) {
    for (const char* name : collectors) {
        size_t length = strlen(name);
        if (strncmp(flag, "Use", 3) == 0 && strncmp(flag + 3, name, length) == 0 &&
            strcmp(flag + 3 + length, "GC") == 0) {
            return name;
        }
    }
    return nullptr;
}

void vmShape::readOption(const char* option) {
    if (startsWith(option, "-Xmx")) {
        maxHeap = parseMemorySize(option + 4);
        return;
    }
    if (!startsWith(option, "-XX:")) {
        return;
    }
    const char* flag = option + 4;
    int on = *flag == '+';
    if (*flag == '+' || *flag == '-') {
        flag++;
        const char* gc = namedCollector(flag);
        if (gc != nullptr) {
            collector = on ? gc : (collector == gc ? nullptr : collector);
        } else if (strcmp(flag, "UseCompressedOops") == 0) {
            compressedOops = on;
        } else if (strcmp(flag, "UseCompressedClassPointers") == 0) {
            compressedClassPointers = on;
        } else if (strcmp(flag, "UseCompactObjectHeaders") == 0) {
            compactHeaders = on && featureVersion >= 24;
        }
    } else if (startsWith(flag, "ObjectAlignmentInBytes=")) {
        objectAlignment = atoll(flag + strlen("ObjectAlignmentInBytes="));
    } else if (startsWith(flag, "MaxHeapSize=")) {
        maxHeap = parseMemorySize(flag + strlen("MaxHeapSize="));
    } else if (startsWith(flag, "MaxRAM=")) {
        maxRam = parseMemorySize(flag + strlen("MaxRAM="));
    } else if (startsWith(flag, "MaxRAMPercentage=")) {
        ramPercentage = atof(flag + strlen("MaxRAMPercentage="));
    } else if (startsWith(flag, "MaxRAMFraction=")) {
        long long fraction = atoll(flag + strlen("MaxRAMFraction="));
        ramPercentage = fraction > 0 ? 100.0 / (double)fraction : -1;
    } else if (startsWith(flag, "ActiveProcessorCount=")) {
        processorCount = atoi(flag + strlen("ActiveProcessorCount="));
    }
}

void vmShape::decideCollector(machineSize machine) {
    if (collector != nullptr) {
        return;
    }
    int processors = processorCount > 0 ? processorCount : machine.processors;
    collector = processors >= 2 && machine.memory >= serverMemory ? "G1" : "Serial";
}

// Without an explicit heap size the JVM keeps its default heap within the
// reach of compressed oops, unless a MaxRAM option was given: then the heap
// is that share of the memory, whatever it comes to. A heap beyond their
// reach turns them off even when an option asks for them.
void vmShape::decideCompressedOops(machineSize machine) {
    if (compressedOops == 0 || strcmp(collector, "Z") == 0) {
        compressedOops = 0;
        return;
    }
    unsigned long long heap = maxHeap;
    if (heap == 0 && (maxRam != 0 || ramPercentage >= 0)) {
        double memory = (double)(maxRam != 0 ? maxRam : machine.memory);
        heap = (unsigned long long)(memory * (ramPercentage >= 0 ? ramPercentage : 25) / 100);
    }
    if (heap < coopsSure) {
        compressedOops = 1;
    } else if (heap >= coopsGone) {
        compressedOops = 0;
    } else {
        compressedOops = 1;
        uncertainty = "the heap's size lies too close to 32 GiB to tell whether the JVM "
                      "compresses its pointers";
    }
}

char* vmShape::createBaseArchiveName() const {
    stringBuffer name;
    name.append("classes");
    if (!compressedOops) {
        name.append("_nocoops");
    }
    if (compactHeaders) {
        name.append("_coh");
    }
    name.append(".jsa");
    return name.createString();
}

static int isArchiveFile(const char* path) {
    struct stat status;
    return stat(path, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0;
}

// A runtime made without any base archive (an image packed to be the same
// from one build to the next, before Java 25): the cache's static archive,
// dumped from the list of the classes the application loaded, holds the
// runtime's classes too, so the first start runs as it would without the
// cache and the later ones map that archive. From Java 24 the archive links
// its classes ahead of time, which was not tried without a base.
int vmShape::hasNoBaseArchive(const char* serverDirectory) const {
    if (featureVersion >= 24) {
        return 0;
    }
    static const char* const names[] = {"classes.jsa", "classes_nocoops.jsa"};
    for (const char* name : names) {
        ownedString path(createString(serverDirectory, name));
        if (isMissingFile(path.get()) == 0) {
            return 0;
        }
    }
    return 1;
}

char* vmShape::createBaseArchiveRefusal(const char* home) const {
    if (!compressedClassPointers) {
        return createStringCopy(
            "-XX:-UseCompressedClassPointers keeps the runtime's base archive from loading");
    }
    if (objectAlignment != 8) {
        return createStringCopy(
            "-XX:ObjectAlignmentInBytes keeps the runtime's base archive from loading");
    }
    if (uncertainty != nullptr) {
        return createStringCopy(uncertainty);
    }
    ownedString name(createBaseArchiveName());
    ownedString directory(createString(home, "/lib/server/"));
    ownedString path(createString(directory.get(), name.get()));
    if (isArchiveFile(path.get()) || hasNoBaseArchive(directory.get())) {
        return nullptr;
    }
    return createMessage("the runtime has no base archive '%s' for these options", path.get());
}

char* vmShape::createDescription() const {
    char text[96];
    snprintf(text, sizeof text, "%s %s %lld %s %s", compressedOops ? "coops" : "nocoops",
             compressedClassPointers ? "ccp" : "noccp", objectAlignment,
             compactHeaders ? "coh" : "noncoh", collector);
    return createStringCopy(text);
}

static void appendWords(stringArray& all, const char* name) {
    const char* value = getenv(name);
    if (value == nullptr) {
        return;
    }
    ownedString words(createStringCopy(value));
    char* rest = nullptr;
    for (char* word = strtok_r(words.get(), " \t\n", &rest); word != nullptr;
         word = strtok_r(nullptr, " \t\n", &rest)) {
        all.append(createStringCopy(word));
    }
}

void collectVmOptions(stringArray& all, const stringArray& commandLineOptions) {
    appendWords(all, "JAVA_TOOL_OPTIONS");
    appendWords(all, "JDK_JAVA_OPTIONS");
    for (int i = 0; i < commandLineOptions.size(); i++) {
        all.append(createStringCopy(commandLineOptions[i]));
    }
    appendWords(all, "_JAVA_OPTIONS");
}
