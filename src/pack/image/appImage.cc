#include "pack/image/appImage.h"

#include "pack/image/directoryTree.h"
#include "pack/options/packOptions.h"
#include "pack/service/serviceUnit.h"
#include "pack/tools/jdkTools.h"
#include "pack/zip/bundle.h"
#include "unix/exePath.h"
#include "unix/files.h"
#include "util/strings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

const char* appImageJavaPath = "../runtime/bin/java";

static const double megabyte = 1e6;

// The directory without trailing slashes, so that its last component is
// its name and a temporary directory can be put beside it.
static char* createDirectoryPath(const char* path) {
    char* directory = createStringCopy(path);
    size_t length = strlen(directory);
    while (length > 1 && directory[length - 1] == '/') {
        directory[--length] = 0;
    }
    return directory;
}

static char* createBundleName(const packOptions& options, const char* directory) {
    if (options.name != nullptr) {
        return createStringCopy(options.name);
    }
    const char* slash = strrchr(directory, '/');
    const char* last = slash != nullptr ? slash + 1 : directory;
    if (last[0] == 0 || strcmp(last, ".") == 0 || strcmp(last, "..") == 0) {
        throw createMessage("cannot name the bundle after '%s'; give --name", directory);
    }
    return createStringCopy(last);
}

static char* createChild(const char* directory, const char* name) {
    char* prefix = createString(directory, "/");
    char* child = createString(prefix, name);
    delete[] prefix;
    return child;
}

static void linkAutomaticRuntime(const packOptions& options, const char* runtime) {
    char* home = createJdkHome();
    char* modules = nullptr;
    try {
        modules = createModuleList(home, options.archives, options.addModules);
        if (!options.quiet) {
            printf("larkwin-pack: linking a runtime of %s with the JDK in '%s'\n", modules, home);
        }
        linkRuntime(home, modules, runtime);
    } catch (char*) {
        delete[] modules;
        delete[] home;
        throw;
    }
    delete[] modules;
    delete[] home;
}

static void copyRuntime(const char* givenHome, const char* runtime) {
    // The home itself may be a link, such as /usr/lib/jvm/default-java.
    char* home = createCanonicalPath(givenHome);
    char* java = home != nullptr ? createChild(home, "bin/java") : nullptr;
    int isRuntime = java != nullptr && testFile(java);
    delete[] java;
    if (!isRuntime) {
        delete[] home;
        throw createMessage("'%s' is not a Java runtime's home: it has no bin/java", givenHome);
    }
    try {
        copyTree(home, runtime);
    } catch (char*) {
        delete[] home;
        throw;
    }
    delete[] home;
}

// --service: DIR/lib/systemd/system/NAME.service, which runs DIR/bin/NAME
// where DIR is now; systemd takes a unit linked into /etc/systemd/system.
static void addServiceUnit(const packOptions& options, const char* image, const char* directory,
                           const char* name) {
    char* absolute = createAbsolutePath(nullptr, const_cast<char*>(directory));
    char* bin = createChild(absolute, "bin");
    char* executable = createChild(bin, name);
    char* units = createChild(image, "lib/systemd/system");
    delete[] bin;
    delete[] absolute;
    try {
        writeServiceUnit(options, name, executable, units);
    } catch (char*) {
        delete[] units;
        delete[] executable;
        throw;
    }
    delete[] units;
    delete[] executable;
}

static void fillImage(packOptions& options, const char* image, const char* directory,
                      const char* name, const char* configuration) {
    char* bin = createChild(image, "bin");
    char* bundle = createChild(bin, name);
    char* runtime = createChild(image, "runtime");
    try {
        if (mkdir(bin, 0777) != 0) {
            throw createMessage("Unable to create '%s'", bin);
        }
        // The archives are checked before the slower runtime is made.
        writeBundle(options.launcher, options.archives, bundle, configuration, options.quiet);
        if (options.service) {
            addServiceUnit(options, image, directory, name);
        }
        if (options.runtime == nullptr || strcmp(options.runtime, "auto") == 0) {
            linkAutomaticRuntime(options, runtime);
        } else {
            copyRuntime(options.runtime, runtime);
        }
    } catch (char*) {
        delete[] runtime;
        delete[] bundle;
        delete[] bin;
        throw;
    }
    delete[] runtime;
    delete[] bundle;
    delete[] bin;
}

// mkdtemp makes the directory private; the image gets the usual mode.
static int publish(const char* temporary, const char* directory) {
    mode_t mask = umask(0);
    umask(mask);
    return chmod(temporary, 0777 & ~mask) == 0 && rename(temporary, directory) == 0;
}

static void buildImage(packOptions& options, const char* directory, const char* name,
                       const char* configuration) {
    if (testFile(const_cast<char*>(directory))) {
        throw createMessage("'%s' already exists", directory);
    }
    char* temporary = createString(directory, ".XXXXXX");
    if (mkdtemp(temporary) == nullptr) {
        delete[] temporary;
        throw createMessage("Unable to create '%s'", directory);
    }
    try {
        fillImage(options, temporary, directory, name, configuration);
        if (!publish(temporary, directory)) {
            throw createMessage("Unable to create '%s'", directory);
        }
    } catch (char*) {
        removeTree(temporary);
        delete[] temporary;
        throw;
    }
    delete[] temporary;
}

static void reportSize(const char* directory) {
    char* runtime = createChild(directory, "runtime");
    double total = (double)getTreeSize(directory) / megabyte;
    double runtimeSize = (double)getTreeSize(runtime) / megabyte;
    delete[] runtime;
    printf("larkwin-pack: wrote the app image '%s': %.1f MB (runtime %.1f MB)\n", directory, total,
           runtimeSize);
}

void writeAppImage(packOptions& options, const char* configuration) {
    char* directory = createDirectoryPath(options.appImage);
    char* name = nullptr;
    try {
        name = createBundleName(options, directory);
        buildImage(options, directory, name, configuration);
    } catch (char*) {
        delete[] name;
        delete[] directory;
        throw;
    }
    if (!options.quiet) {
        reportSize(directory);
    }
    delete[] name;
    delete[] directory;
}
