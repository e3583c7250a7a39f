#ifndef LARKWIN_PACK_ZIP_MERGERULES_H
#define LARKWIN_PACK_ZIP_MERGERULES_H

// What becomes of an entry when several jars are merged into one archive,
// apart from duplicates (the first occurrence of a name wins).
enum mergeRule {
    // Copied as it is.
    copyEntry,
    // Dropped: a dependency's manifest, signature files and module
    // descriptor, which describe that jar alone.
    dropEntry,
    // A service provider configuration file: every jar's copy is joined.
    joinEntry,
};

// The rule for the entry of that name (length bytes, not terminated) in the
// first jar (fromDependency 0) or in a later one.
mergeRule getMergeRule(const char* name, int length, int fromDependency);

#endif
