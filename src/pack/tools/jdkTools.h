#ifndef LARKWIN_PACK_TOOLS_JDKTOOLS_H
#define LARKWIN_PACK_TOOLS_JDKTOOLS_H

class stringArray;

// The JDK whose jdeps and jlink make an app image's runtime: the one that
// "JAVA_HOME" names when it is set and not empty, otherwise the one whose
// java the "PATH" finds, with its links resolved. An owned path; throws when
// there is none or it has no jlink.
char* createJdkHome();

// The modules that the jars need, by the JDK's jdeps, followed by the
// comma-separated extra modules (may be null). Owned, comma-separated.
char* createModuleList(const char* jdkHome, const stringArray& jars, const char* extraModules);

// The module list in what "jdeps --print-module-deps" printed (length
// bytes), followed by the extra modules. Throws "jdeps printed no list of
// modules".
char* createJdepsModuleList(const char* printed, int length, const char* extraModules);

// Links a runtime of the modules into the new directory output, without
// debug data, man pages and headers, and gives it its base class-data
// archive (lib/server/classes.jsa).
void linkRuntime(const char* jdkHome, const char* modules, const char* output);

#endif
