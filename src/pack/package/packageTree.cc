#include "pack/package/packageTree.h"

#include "pack/image/directoryTree.h"
#include "pack/options/packOptions.h"
#include "pack/package/desktopEntry.h"
#include "pack/package/packageIcons.h"
#include "pack/package/packageService.h"
#include "pack/package/packageTexts.h"
#include "pack/package/stagingFiles.h"
#include "pack/tools/toolProcess.h"
#include "unix/exePath.h"
#include "unix/files.h"
#include "util/stringArray.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

// Joins the parts into one owned string.
static char* createJoined(const char* const* parts, int count) {
    stringBuffer text;
    for (int i = 0; i < count; i++) {
        text.append(parts[i]);
    }
    return text.createString();
}

// Writes text to root + inPackage, its directory made, and lists it.
static void addFile(const char* root, const char* inPackage, const char* text, stringArray& files,
                    const char* filesPrefix) {
    char* path = createString(root, inPackage);
    char* directory = createParentPath(path);
    try {
        makeDirectories(directory);
        writeTextFile(path, text, 0644);
    } catch (char*) {
        delete[] directory;
        delete[] path;
        throw;
    }
    delete[] directory;
    delete[] path;
    files.append(createString(filesPrefix, inPackage));
}

// Writes text, which it then deletes, to the path in the package that the
// parts join into, and lists it with filesPrefix.
static void addJoinedFile(const char* root, const char* const* parts, int count, char* text,
                          stringArray& files, const char* filesPrefix) {
    char* inPackage = createJoined(parts, count);
    try {
        addFile(root, inPackage, text, files, filesPrefix);
    } catch (char*) {
        delete[] inPackage;
        delete[] text;
        throw;
    }
    delete[] inPackage;
    delete[] text;
}

// Copies source to root + inPackage, its directory made, and lists it.
static void addCopy(const char* root, const char* inPackage, const char* source,
                    stringArray& files) {
    char* path = createString(root, inPackage);
    char* directory = createParentPath(path);
    try {
        makeDirectories(directory);
        copyTree(source, path);
    } catch (char*) {
        delete[] directory;
        delete[] path;
        throw;
    }
    delete[] directory;
    delete[] path;
    files.append(createStringCopy(inPackage));
}

static void addCommand(const char* root, const char* name, stringArray& files) {
    const char* linkParts[] = {root, "/usr/bin/", name};
    const char* targetParts[] = {"/opt/", name, "/bin/", name};
    char* link = createJoined(linkParts, 3);
    char* target = createJoined(targetParts, 4);
    char* directory = createParentPath(link);
    int made = 0;
    try {
        makeDirectories(directory);
        // Absolute, as Debian links between top-level directories; the
        // launcher resolves it to find its image.
        made = symlink(target, link) == 0;
    } catch (char*) {
    }
    delete[] directory;
    delete[] target;
    if (!made) {
        char* message = createMessage("Unable to create '%s'", link);
        delete[] link;
        throw message;
    }
    delete[] link;
    files.append(createString("/usr/bin/", name));
}

static void addSiteSettings(const char* root, const char* name, stringArray& files) {
    const char* parts[] = {"/etc/", name, "/", name, ".config"};
    addJoinedFile(root, parts, 5, createSiteSettings(name), files, "%config(noreplace) ");
    files.append(createString("%dir /etc/", name));
}

// The class that names the application's windows: --wm-class, else derived
// from the main class; null when the main class is not in the embedded
// configuration itself.
static char* createEntryWindowClass(const packOptions& options, const char* configuration) {
    if (options.wmClass != nullptr) {
        return createStringCopy(options.wmClass);
    }
    char* mainClass = options.mainClass != nullptr
                          ? createStringCopy(options.mainClass)
                          : createDirectiveArgument(configuration, "mainclass");
    char* windowClass =
        mainClass != nullptr && mainClass[0] != 0 ? createWindowClass(mainClass) : nullptr;
    delete[] mainClass;
    if (windowClass == nullptr && !options.quiet) {
        printf("larkwin-pack: the configuration names no main class itself, so the menu entry "
               "has no StartupWMClass; give --wm-class\n");
    }
    return windowClass;
}

static int hasSocket(const char* configuration) {
    char* port = createDirectiveArgument(configuration, "socket");
    int has = port != nullptr && atoi(port) != 0;
    delete[] port;
    return has;
}

struct entryTexts {
    desktopEntry entry;
    char* exec;
    char* categories;
    char* windowClass;
    char* mimeTypes;
    entryTexts()
        : entry(), exec(nullptr), categories(nullptr), windowClass(nullptr), mimeTypes(nullptr) {}
    ~entryTexts() {
        delete[] exec;
        delete[] categories;
        delete[] windowClass;
        delete[] mimeTypes;
    }
    entryTexts(const entryTexts&) = delete;
    entryTexts& operator=(const entryTexts&) = delete;
};

static void writeEntry(const char* root, const char* name, const char* suffix,
                       const desktopEntry& entry, stringArray& files) {
    const char* parts[] = {"/usr/share/applications/", name, suffix, ".desktop"};
    addJoinedFile(root, parts, 4, createDesktopEntryText(entry), files, "");
}

// One menu entry; with a socket and media types, a second one, not shown in
// the menu, opens files and URLs through +SHELL: the menu's own entry must
// start the application, and "+SHELL" without arguments starts nothing.
static void addMenuEntries(const packOptions& options, const char* configuration, const char* root,
                           stringArray& files) {
    entryTexts texts;
    const char* categories = options.categories != nullptr ? options.categories : "Utility";
    size_t length = strlen(categories);
    texts.categories = length > 0 && categories[length - 1] == ';' ? createStringCopy(categories)
                                                                   : createString(categories, ";");
    texts.windowClass = createEntryWindowClass(options, configuration);
    texts.mimeTypes = createMimeTypeList(options.fileTypes, options.urlSchemes);
    int opensFiles = texts.mimeTypes[0] != 0;
    int shell = opensFiles && hasSocket(configuration);
    const char* fieldCode = options.urlSchemes.size() > 0 ? " %U" : " %F";
    const char* commandParts[] = {"/usr/bin/", options.name, shell ? " +SHELL" : "",
                                  opensFiles ? fieldCode : ""};
    texts.exec = createJoined(commandParts, 4);
    desktopEntry& entry = texts.entry;
    entry.name = options.name;
    entry.comment = options.description;
    entry.exec = texts.exec;
    entry.icon = options.icon != nullptr ? options.name : nullptr;
    entry.categories = texts.categories;
    entry.windowClass = texts.windowClass;
    entry.mimeTypes = texts.mimeTypes;
    if (shell) {
        entry.noDisplay = 1;
        writeEntry(root, options.name, "-open", entry, files);
        char* plain = createString("/usr/bin/", options.name);
        delete[] texts.exec;
        texts.exec = plain;
        entry.exec = plain;
        entry.mimeTypes = nullptr;
        entry.noDisplay = 0;
    }
    writeEntry(root, options.name, "", entry, files);
}

static void addMediaTypes(const packOptions& options, const char* root, stringArray& files) {
    if (options.fileTypes.size() == 0) {
        return;
    }
    const char* parts[] = {"/usr/share/mime/packages/", options.name, ".xml"};
    addJoinedFile(root, parts, 3, createMimeInfo(options.fileTypes), files, "");
}

// Checked by appstreamcli where it is installed, without the network.
static void addMetainfo(const packOptions& options, const char* root, stringArray& files) {
    if (options.metainfo == nullptr) {
        return;
    }
    char* validator = createExePath(const_cast<char*>("appstreamcli"));
    if (validator != nullptr) {
        char* arguments[] = {validator, const_cast<char*>("validate"),
                             const_cast<char*>("--no-net"), options.metainfo, nullptr};
        stringBuffer printed;
        try {
            runToolOrFail(arguments, &printed);
        } catch (char*) {
            delete[] validator;
            throw;
        }
        delete[] validator;
    }
    const char* slash = strrchr(options.metainfo, '/');
    char* inPackage =
        createString("/usr/share/metainfo/", slash != nullptr ? slash + 1 : options.metainfo);
    addCopy(root, inPackage, options.metainfo, files);
    delete[] inPackage;
}

// Debian's copyright file is the licence file; the changelog, which Debian
// wants of every package, says that larkwin-pack made this version.
static void addDocumentation(const packOptions& options, const char* root, long epochSeconds,
                             stringArray& files) {
    char* directory = createString("/usr/share/doc/", options.name);
    char* copyright = createString(directory, "/copyright");
    char* changelogPath = createString(root, directory);
    char* changelogFile = createString(changelogPath, "/changelog.gz");
    const char* maintainer = options.maintainer != nullptr ? options.maintainer : options.vendor;
    char* changelog = createChangelog(options.name, options.appVersion,
                                      maintainer != nullptr ? maintainer : "unknown", epochSeconds);
    try {
        if (options.licenseFile != nullptr) {
            addCopy(root, copyright, options.licenseFile, files);
            files.remove(files.size() - 1);
        }
        makeDirectories(changelogPath);
        writeGzipFile(changelogFile, changelog);
    } catch (char*) {
        delete[] changelog;
        delete[] changelogFile;
        delete[] changelogPath;
        delete[] copyright;
        delete[] directory;
        throw;
    }
    files.append(directory);
    delete[] changelog;
    delete[] changelogFile;
    delete[] changelogPath;
    delete[] copyright;
}

static void addManualPage(const packOptions& options, const char* root, stringArray& files) {
    const char* parts[] = {"/usr/share/man/man1/", options.name, ".1.gz"};
    char* inPackage = createJoined(parts, 3);
    char* path = createString(root, inPackage);
    char* directory = createParentPath(path);
    char* page = createManualPage(options.name, options.appVersion, options.description);
    try {
        makeDirectories(directory);
        writeGzipFile(path, page);
    } catch (char*) {
        delete[] page;
        delete[] directory;
        delete[] path;
        delete[] inPackage;
        throw;
    }
    files.append(inPackage);
    delete[] page;
    delete[] directory;
    delete[] path;
}

char* createLintianOverridesPath(const char* root, const char* name) {
    char* directory = createString(root, "/usr/share/lintian/overrides/");
    char* path = createString(directory, name);
    delete[] directory;
    return path;
}

// Only a trained image ships an archive.
static char* createArchiveOverride(const char* name) {
    const char* parts[] = {
        "# The start-up archive is only ever mapped read-only by the JVM; 0444 keeps\n# it so.\n",
        name, ": non-standard-file-perm 0444 != 0644 [opt/", name, "/lib/startupcache/*.jsa]\n"};
    return createJoined(parts, sizeof parts / sizeof parts[0]);
}

// Each override says why the tag does not apply to an application packaged
// this way.
static void addLintianOverrides(const char* root, const char* name, int trained) {
    const char* parts[] = {
        "# The application is installed whole under /opt/",
        name,
        ", the place the FHS gives\n# an add-on application package; nothing there is shared.\n",
        name,
        ": dir-or-file-in-opt [opt/",
        name,
        "/*]\n# The launcher is a static position-independent executable followed by the\n"
        "# application's archive: it needs no shared libraries.\n",
        name,
        ": shared-library-lacks-prerequisites [opt/",
        name,
        "/bin/",
        name,
        "]\n# The application's own jars and those of its private Java runtime, read by\n"
        "# its launcher and runtime alone.\n",
        name,
        ": jar-not-in-usr-share [opt/",
        name,
        "/*]\n"};
    char* text = createJoined(parts, sizeof parts / sizeof parts[0]);
    if (trained) {
        char* override = createArchiveOverride(name);
        char* both = createString(text, override);
        delete[] override;
        delete[] text;
        text = both;
    }
    char* path = createLintianOverridesPath(root, name);
    char* directory = createParentPath(path);
    try {
        makeDirectories(directory);
        writeTextFile(path, text, 0644);
    } catch (char*) {
        delete[] directory;
        delete[] path;
        delete[] text;
        throw;
    }
    delete[] directory;
    delete[] path;
    delete[] text;
}

// SERVICE UNIT HOOK: with --service, the systemd unit (see packageService.h).
static void addServiceUnit(const packOptions& options, const char* root, stringArray& files) {
    stageServiceUnit(options, root, files);
}

// A service is started by systemd, not from a menu: its package gets a menu
// entry only when the user asked for something a desktop shows.
static int wantsMenuEntries(const packOptions& options) {
    return !options.service || options.icon != nullptr || options.categories != nullptr ||
           options.wmClass != nullptr || options.fileTypes.size() > 0 ||
           options.urlSchemes.size() > 0;
}

void stagePackageTree(const packOptions& options, const char* configuration, const char* root,
                      const char* work, long epochSeconds, stringArray& files) {
    files.append(createString("/opt/", options.name));
    addCommand(root, options.name, files);
    addSiteSettings(root, options.name, files);
    if (wantsMenuEntries(options)) {
        addMenuEntries(options, configuration, root, files);
    }
    if (options.icon != nullptr) {
        stringArray icons;
        installIcons(options.icon, options.name, root, work, icons);
        while (icons.size() > 0) {
            files.append(createStringCopy(icons[0]));
            icons.remove(0);
        }
    }
    addMediaTypes(options, root, files);
    addMetainfo(options, root, files);
    addDocumentation(options, root, epochSeconds, files);
    addManualPage(options, root, files);
    addLintianOverrides(root, options.name, options.train);
    addServiceUnit(options, root, files);
}
