#ifndef LARKWIN_PACK_ZIP_MERGERULES_H
#define LARKWIN_PACK_ZIP_MERGERULES_H

// What becomes of an entry when several jars are merged into one archive,
// apart from duplicates (the first occurrence of a name wins).
enum mergeRule {
    // Copied as it is.
    copyEntry,
    // Dropped: a dependency's manifest, signature files and module
    // descriptor, which describe that jar alone, and every jar's index
    // (META-INF/INDEX.LIST), which names the jars it was made with.
    dropEntry,
    // Registries that several jars may hold, joined (see registryJoin.h):
    // ServiceLoader's lists and the like.
    joinEntry,
    // Properties read from every copy, the later winning (Spring's
    // handlers, schemas and tooling files).
    appendEntry,
    // Properties whose values are comma-separated lists gathered from every
    // copy (Spring's factories and components indexes).
    joinValuesEntry,
    // Groovy's extension module descriptor.
    groovyModuleEntry,
    // A licence or notice file: a dependency's copy of a name already
    // taken is kept under META-INF/licenses/JAR/.
    noticeEntry,
    // A file that several jars may hold and no rule can join (Log4j 2's
    // plugin cache): a second copy makes the merge fail.
    refuseDuplicateEntry,
};

// The rule for the entry of that name (length bytes, not terminated) in the
// first jar (fromDependency 0) or in a later one.
mergeRule getMergeRule(const char* name, int length, int fromDependency);

// 1 when the rule joins every jar's copy into one entry.
int isJoinRule(mergeRule rule);

// 1 for a signature file of the jar (META-INF/*.SF, *.RSA, *.DSA, *.EC and
// META-INF/SIG-*), in any case.
int isSignatureFile(const char* name, int length);

#endif
