#ifndef LARKWIN_CACHE_CACHEMECHANISM_H
#define LARKWIN_CACHE_CACHEMECHANISM_H

// How a runtime keeps the classes of an application's start for the next one.
// The application's own run only lists the classes it loads
// (-XX:DumpLoadedClassList), which adds nothing to its output and cannot
// fail it; a separate java, after the launcher is done, dumps a static
// archive of those classes (-Xshare:dump), and later runs map it
// (-XX:SharedArchiveFile).
enum cacheMechanism {
    noCacheMechanism,
    // JDK 13 on: a static archive of the listed classes.
    staticArchive,
    // JDK 24 on: the same, with the classes linked ahead of time
    // (-XX:+AOTClassLinking), as an AOT cache holds them.
    linkedStaticArchive
};

cacheMechanism chooseCacheMechanism(int featureVersion);

// JDK 25 on: an app image's training run, whose output does not matter,
// records the classes and the method profiles (-XX:AOTMode=record), and an
// AOT cache is created from them (-XX:AOTMode=create). Such a cache is
// mapped with -XX:AOTCache, under which the JVM replays the profiles; it
// maps a static archive just as well. A user's own runs never record: the
// recording prints on the application's standard output.
int trainsWithProfiles(int featureVersion);

// The -Xlog selectors that keep the messages about the cache's own archive
// (one that does not fit) off the application's output, for the runs that
// map it. They stand before the configured VM options, so that the
// application's own -Xlog options still apply; the cache is used only where
// the runtime's own archive maps, so no message that the same options print
// without the cache is lost.
const char* getQuietLogOption(int featureVersion);

// The first four bytes of a complete static archive: the JVM writes them
// last, so an archive cut short by a crash has none.
const unsigned char* getArchiveMagic();

// Whether a VM option takes class data sharing into its own hands (-Xshare,
// -XX:SharedArchiveFile, -XX:AOTCache and the like), makes the VM refuse or
// drop an archive (agents, patched or limited modules), or may hide such an
// option from the launcher (an argument file, -XX:Flags=).
int takesCacheOver(const char* option);
// The same for the options of a JVM option variable such as
// JAVA_TOOL_OPTIONS: any of those words anywhere in it.
int takesCacheOverInText(const char* text);

#endif
