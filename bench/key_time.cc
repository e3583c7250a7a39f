// Times what the start-up cache's keys cost one warm start of an app image:
// the user's key and the image's, as the launcher computes both, for a
// class path of the given jars. Prints the median of RUNS computations in
// microseconds. Built against a launcher's core library by
// bench/key_time.sh, once for each version compared; OLD_KEY selects the
// key function of the version before the key held inodes and digests.

#include "cache/cacheNames.h"
#include "process/jniVmUnix.h"
#include "runtime/javaRuntime.h"
#include "util/owned.h"
#include "util/strings.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 5) {
        fprintf(stderr, "usage: key_time RUNS JAVA IMAGE_ROOT JAR...\n");
        return 2;
    }
    int runs = atoi(argv[1]);
    jniVmUnix vm;
    vm.setJavaPath(createStringCopy(argv[2]));
    vm.setMainClass(createStringCopy("groovy/ui/GroovyMain"));
    for (int i = 4; i < argc; i++) {
        vm.addPath(createStringCopy(argv[i]));
    }
    javaRuntime runtime(vm.javaPath);
    const char* shape = "coops ccp 8 noncoh G1";
    std::vector<double> times;
    for (int i = 0; i < runs; i++) {
        auto begin = std::chrono::steady_clock::now();
#ifdef OLD_KEY
        ownedString user(createKeyHex(vm, runtime, staticArchive, shape, nullptr));
        ownedString shipped(createKeyHex(vm, runtime, staticArchive, shape, argv[3]));
#else
        ownedString user(createKeyHex(vm, runtime, staticArchive, shape, 0, nullptr));
        ownedString shipped(createKeyHex(vm, runtime, staticArchive, shape, 1, argv[3]));
#endif
        auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::micro>(end - begin).count());
    }
    std::sort(times.begin(), times.end());
    printf("%.1f\n", times[times.size() / 2]);
    return 0;
}
