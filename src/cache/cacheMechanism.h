#ifndef LARKWIN_CACHE_CACHEMECHANISM_H
#define LARKWIN_CACHE_CACHEMECHANISM_H

// How a runtime keeps the classes of an application's start for the next one.
enum cacheMechanism {
    noCacheMechanism,
    // JDK 13 on: the classes loaded by a run are written at its exit
    // (-XX:ArchiveClassesAtExit) on top of the runtime's own archive and
    // mapped by later runs (-XX:SharedArchiveFile).
    dynamicArchive,
    // JDK 25 on: a run records what it loads and links (-XX:AOTMode=record),
    // a second step assembles the cache from that (-XX:AOTMode=create), and
    // later runs map it (-XX:AOTCache).
    aotCache
};

cacheMechanism chooseCacheMechanism(int featureVersion);

// The -Xlog selectors that keep the mechanism's warnings (an archive that
// does not fit, classes it cannot hold) off the application's output. They
// stand before the configured VM options, so that the application's own
// -Xlog options still apply.
const char* getQuietLogOption(cacheMechanism mechanism);

// The first four bytes of a complete archive of the mechanism: the JVM
// writes them last, so an archive cut short by a crash has none.
const unsigned char* getArchiveMagic(cacheMechanism mechanism);

// Whether a VM option takes class data sharing into its own hands (-Xshare,
// -XX:SharedArchiveFile, -XX:AOTCache and the like), makes the VM refuse or
// drop an archive (agents, patched or limited modules), or may hide such an
// option from the launcher (an argument file, -XX:Flags=).
int takesCacheOver(const char* option);
// The same for the options of a JVM option variable such as
// JAVA_TOOL_OPTIONS: any of those words anywhere in it.
int takesCacheOverInText(const char* text);

#endif
