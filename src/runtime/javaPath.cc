#include "runtime/javaPath.h"

#include "unix/exePath.h"
#include "util/owned.h"
#include "util/strings.h"

#include <cstdlib>

const char* getJavaDownloadPage() {
    return "https://www.larkwin.org/anvilry/resources/javaruntime.html";
}

char* getNoJreMessage() {
    return createString(
        "Unable to find a Java Runtime. Please download and install a Java Runtime from\n",
        getJavaDownloadPage());
}

// An empty JAVA_HOME counts as set: it names /bin/java.
static char* createJavaHomeCandidate() {
    const char* home = getenv("JAVA_HOME");
    if (home == nullptr) {
        return nullptr;
    }
    ownedString candidate(createString(home, "/bin/java"));
    return testFile(candidate.get()) ? candidate.release() : nullptr;
}

char* getJavaPath() {
    char* found = createJavaHomeCandidate();
    if (found == nullptr) {
        char name[] = "java";
        found = createExePath(name);
    }
    if (found == nullptr) {
        throw getNoJreMessage();
    }
    return found;
}
