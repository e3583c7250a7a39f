#ifndef LARKWIN_PACK_TOOLS_JDKTOOLS_H
#define LARKWIN_PACK_TOOLS_JDKTOOLS_H

class stringArray;

// The JDK whose jdeps and jlink make an app image's runtime: the one that
// "JAVA_HOME" names when it is set and not empty, otherwise the one whose
// java the "PATH" finds, with its links resolved. An owned path; throws when
// there is none or it has no jlink.
char* createJdkHome();

// The modules that the jars need, owned and comma-separated: those the JDK's
// jdeps finds in them, read as one class path (merged into the scratch file,
// which is removed again, so that module descriptors, which the class path
// ignores, do not stop jdeps with requirements nobody meets), the modules
// that createImpliedModules adds, and the comma-separated extra modules (may
// be null).
char* createModuleList(const char* jdkHome, const stringArray& jars, const char* extraModules,
                       const char* scratch);

// As createModuleList, without the comma-separated excluded modules (may be
// null), whether jdeps found them, they are implied or extra. Each excluded
// module that jdeps found in the jars (a class of theirs refers to it) is
// appended to referenced (may be null), once.
char* createModuleList(const char* jdkHome, const stringArray& jars, const char* extraModules,
                       const char* excludedModules, const char* scratch, stringArray* referenced);

// 1 when the release file of the runtime (a JDK or a linked image) lists
// the module in its MODULES; jlink adds every module that a listed one
// requires, so an excluded module may be there all the same.
int runtimeHasModule(const char* runtime, const char* module);

// The modules that the listed ones reach only through services or
// reflection, which jdeps cannot see, added to the comma-separated list when
// the JDK has them (available: its release file's MODULES, names separated
// by spaces): always jdk.zipfs (the "jar:" file systems), jdk.charsets,
// jdk.localedata and jdk.crypto.ec (charsets, locales and TLS curves a
// class path application finds in a full JDK); jdk.compiler with
// java.compiler (ToolProvider's system compiler); jdk.management with
// java.management; jdk.naming.dns with java.naming. Owned.
char* createImpliedModules(const char* modules, const char* available);

// The module list in what "jdeps --print-module-deps" printed (length
// bytes), followed by the extra modules. Throws "jdeps printed no list of
// modules".
char* createJdepsModuleList(const char* printed, int length, const char* extraModules);

// Links a runtime of the modules into the new directory output, without man
// pages and headers and, unless keepDebug, without debug data, and, with
// baseArchive, gives it its base class-data archive (lib/server/classes.jsa).
void linkRuntime(const char* jdkHome, const char* modules, const char* output, int keepDebug,
                 int baseArchive = 1);

#endif
