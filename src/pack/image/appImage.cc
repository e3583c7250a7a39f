#include "pack/image/appImage.h"

#include "pack/image/directoryTree.h"
#include "pack/image/imageTraining.h"
#include "pack/options/packOptions.h"
#include "pack/service/serviceUnit.h"
#include "pack/tools/jdkTools.h"
#include "pack/zip/bundle.h"
#include "pack/zip/zipArchive.h"
#include "unix/exePath.h"
#include "unix/files.h"
#include "unix/removalOnSignal.h"
#include "util/stringArray.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cerrno>
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

static void linkAutomaticRuntime(const packOptions& options, const stringArray& jars,
                                 const char* image, const char* runtime) {
    char* home = createJdkHome();
    char* modules = nullptr;
    char* scratch = createChild(image, ".classpath.jar");
    try {
        modules = createModuleList(home, jars, options.addModules, scratch);
        if (!options.quiet) {
            printf("larkwin-pack: linking a runtime of %s with the JDK in '%s'\n", modules, home);
        }
        linkRuntime(home, modules, runtime, options.keepDebug);
    } catch (char*) {
        delete[] scratch;
        delete[] modules;
        delete[] home;
        throw;
    }
    delete[] scratch;
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
        copySelfContainedTree(home, runtime);
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

// "Unable to create 'PATH': " and the system's reason.
[[noreturn]] static void failCreating(const char* path) {
    const char* reason = strerror(errno);
    stringBuffer message;
    message.append("Unable to create '");
    message.append(path);
    message.append("': ");
    message.append(reason);
    throw message.createString();
}

static void makeDirectory(const char* path) {
    if (mkdir(path, 0777) != 0) {
        failCreating(path);
    }
}

static int isUsedName(const stringArray& names, const char* name) {
    for (int i = 0; i < names.size(); i++) {
        if (strcmp(names[i], name) == 0) {
            return 1;
        }
    }
    return 0;
}

// The jar's name in lib: its own file name, or with "N-" in front when an
// earlier jar took it.
static char* createLibName(const stringArray& used, const char* jar) {
    const char* slash = strrchr(jar, '/');
    const char* base = slash != nullptr ? slash + 1 : jar;
    for (const char* c = base; *c != 0; c++) {
        if ((unsigned char)*c < 0x20 || *c == 0x7F) {
            throw createMessage("'%s' has a name that a configuration line cannot hold", jar);
        }
    }
    char* name = createStringCopy(base);
    for (int n = 2; isUsedName(used, name); n++) {
        char prefix[16];
        snprintf(prefix, sizeof prefix, "%d-", n);
        delete[] name;
        name = createString(prefix, base);
    }
    return name;
}

// Copies each jar, checked to be an archive, as it is (links resolved) into
// lib, and adds to lines the configuration line that names it.
static void copyJars(const stringArray& jars, const char* lib, stringArray* copies,
                     stringBuffer& lines) {
    stringArray names;
    for (int i = 0; i < jars.size(); i++) {
        zipArchive check(jars[i]);
        char* name = createLibName(names, jars[i]);
        names.append(name);
        char* copy = createChild(lib, name);
        copies->append(copy);
        char* source = createCanonicalPath(jars[i]);
        try {
            copyTree(source != nullptr ? source : jars[i], copy);
        } catch (char*) {
            delete[] source;
            throw;
        }
        delete[] source;
        lines.append("addpath ../lib/");
        lines.append(name);
        lines.append('\n');
    }
}

// The launcher whose configuration first names the image's jars in order.
static void writeLauncher(const packOptions& options, const char* bundle, const char* jarLines,
                          const char* configuration) {
    char* text = createString(jarLines, configuration);
    if (strlen(text) > 65535) {
        delete[] text;
        throw createStringCopy("the configuration is longer than 65535 bytes");
    }
    try {
        writeConfiguredLauncher(options.launcher, bundle, text);
    } catch (char*) {
        delete[] text;
        throw;
    }
    delete[] text;
}

static void fillImage(packOptions& options, const char* image, const char* directory,
                      const char* name, const char* configuration) {
    char* bin = createChild(image, "bin");
    char* lib = createChild(image, "lib");
    char* bundle = createChild(bin, name);
    char* runtime = createChild(image, "runtime");
    stringArray copies;
    stringBuffer jarLines;
    try {
        makeDirectory(bin);
        makeDirectory(lib);
        // The archives are checked before the slower runtime is made.
        copyJars(options.archives, lib, &copies, jarLines);
        jarLines.append('\0');
        writeLauncher(options, bundle, jarLines.getData(), configuration);
        if (options.service) {
            addServiceUnit(options, image, directory, name);
        }
        if (options.runtime == nullptr || strcmp(options.runtime, "auto") == 0) {
            linkAutomaticRuntime(options, copies, image, runtime);
        } else {
            copyRuntime(options.runtime, runtime);
        }
    } catch (char*) {
        delete[] runtime;
        delete[] bundle;
        delete[] lib;
        delete[] bin;
        throw;
    }
    delete[] runtime;
    delete[] bundle;
    delete[] lib;
    delete[] bin;
}

// The directories above the image, made as "mkdir -p" makes them.
static void makeParents(const char* directory) {
    char* path = createStringCopy(directory);
    try {
        for (char* slash = strchr(path + 1, '/'); slash != nullptr;
             slash = strchr(slash + 1, '/')) {
            *slash = 0;
            struct stat status;
            if (stat(path, &status) != 0) {
                makeDirectory(path);
            } else if (!S_ISDIR(status.st_mode)) {
                errno = ENOTDIR;
                failCreating(path);
            }
            *slash = '/';
        }
    } catch (char*) {
        delete[] path;
        throw;
    }
    delete[] path;
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
    makeParents(directory);
    char* temporary = createString(directory, ".XXXXXX");
    if (!makeRegisteredDirectory(temporary)) {
        delete[] temporary;
        failCreating(directory);
    }
    try {
        fillImage(options, temporary, directory, name, configuration);
        if (!publish(temporary, directory)) {
            failCreating(directory);
        }
    } catch (...) {
        // An allocation failure too: main reports it.
        removeTree(temporary);
        unregisterRemoval(temporary);
        delete[] temporary;
        throw;
    }
    unregisterRemoval(temporary);
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

// The training run needs the image where it stays: on a JDK before 25 an
// archive maps only from the paths it was made with. A failed training
// leaves no image.
static void train(const packOptions& options, const char* directory, const char* name) {
    try {
        trainAppImage(directory, name, options.trainArguments, options.quiet);
    } catch (char*) {
        removeTree(directory);
        throw;
    }
}

void writeAppImage(packOptions& options, const char* configuration) {
    char* directory = createDirectoryPath(options.appImage);
    char* name = nullptr;
    try {
        name = createBundleName(options, directory);
        buildImage(options, directory, name, configuration);
        if (options.train) {
            train(options, directory, name);
        }
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
