#ifndef LARKWIN_CACHE_LOADERCLASSES_H
#define LARKWIN_CACHE_LOADERCLASSES_H

// Before JDK 24, -XX:DumpLoadedClassList leaves out every class that a class
// loader of the application's own defines (Groovy's RootLoader, Ant's
// launcher), although -Xshare:dump archives such a class when the list names
// its jar, its super class and its interfaces:
//
//     groovy/lang/GroovyObject id: 1412 super: 1 source: /usr/share/groovy/lib/groovy.jar
//
// The recording run then also logs its class loading to a file of its own,
// where each class has its loader, its source and the addresses of the
// class, its super class and its interfaces; the assembly adds the classes
// of other loaders from it to the list. At run time the JVM takes such a
// class from the archive only when its loader defines the very same bytes
// (the archive keeps their size and checksum), so a jar changed since then
// costs the archived copy, never the application's behaviour.

// "<archive>.loaders": the merged list an archive was made from, kept beside
// it for the next assembly of the same key. Owned by the caller.
char* createLoaderListPath(const char* archive);

// Removes a class list and its log (null for none).
void removeClassList(const char* classList, const char* loadLog);

// Whether the recording run of a runtime of this version logs its classes
// for the list.
int logsLoaderClasses(int featureVersion);

// The -Xlog option that writes the class loading to path, undecorated and
// never rotated; null where path cannot be named in it (a double quote).
char* createLoadLogOption(const char* path);

// Writes to merged the class list with an id on each class, followed by the
// classes of the log that other loaders defined from a jar (by a "file:"
// URL) and that the list does not name already; a class goes in only when
// its super class and interfaces have ids. A class the run mapped from the
// archive ("shared objects file") takes its jar from earlierList, the merged
// list that archive was made from (null or missing for none). Returns how
// many it added, or -1 when a file could not be read or written.
int writeListWithLoaderClasses(const char* classList, const char* loadLog, const char* earlierList,
                               const char* merged);

#endif
