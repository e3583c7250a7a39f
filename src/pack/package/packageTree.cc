#include "pack/package/packageTree.h"

#include "pack/base/reasonedFiles.h"
#include "pack/image/directoryTree.h"
#include "pack/package/desktopEntry.h"
#include "pack/package/packageIcons.h"
#include "pack/package/packageRequest.h"
#include "pack/package/packageService.h"
#include "pack/package/packageTexts.h"
#include "pack/package/stagingFiles.h"
#include "pack/tools/toolProcess.h"
#include "unix/exePath.h"
#include "unix/files.h"
#include "util/owned.h"
#include "util/stringArray.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

static void listFile(std::vector<installedEntry>& files, const std::string& path,
                     installedKind kind = installedPath) {
    files.push_back({path, kind});
}

// Writes text to root + inPackage, its directory made, and lists it as kind.
static void addFile(const char* root, const std::string& inPackage, const char* text,
                    std::vector<installedEntry>& files, installedKind kind = installedPath) {
    std::string path = root + inPackage;
    ownedString directory(createParentPath(path.c_str()));
    packMakeDirectories(directory.get());
    writeTextFile(path.c_str(), text, 0644);
    listFile(files, inPackage, kind);
}

// Copies source to root + inPackage, its directory made, and lists it.
static void addCopy(const char* root, const std::string& inPackage, const char* source,
                    std::vector<installedEntry>& files) {
    std::string path = root + inPackage;
    ownedString directory(createParentPath(path.c_str()));
    packMakeDirectories(directory.get());
    copyTree(source, path.c_str());
    listFile(files, inPackage);
}

static void addCommand(const char* root, const std::string& name,
                       std::vector<installedEntry>& files) {
    std::string link = root + ("/usr/bin/" + name);
    std::string target = "/opt/" + name + "/bin/" + name;
    ownedString directory(createParentPath(link.c_str()));
    packMakeDirectories(directory.get());
    // Absolute, as Debian links between top-level directories; the
    // launcher resolves it to find its image.
    if (symlink(target.c_str(), link.c_str()) != 0) {
        std::string message = "Unable to create '" + link + "': " + strerror(errno);
        throw createStringCopy(message.c_str());
    }
    listFile(files, "/usr/bin/" + name);
}

static void addSiteSettings(const char* root, const std::string& name,
                            std::vector<installedEntry>& files) {
    ownedString settings(createSiteSettings(name.c_str()));
    addFile(root, "/etc/" + name + "/" + name + ".config", settings.get(), files,
            installedSettings);
    listFile(files, "/etc/" + name, installedDirectory);
}

// The class that names the application's windows: --wm-class, else derived
// from the main class; null when the main class is not in the embedded
// configuration itself.
static char* createEntryWindowClass(const packageRequest& request, const char* configuration) {
    if (request.wmClass) {
        return createStringCopy(request.wmClass->c_str());
    }
    ownedString mainClass(request.mainClass ? createStringCopy(request.mainClass->c_str())
                                            : createDirectiveArgument(configuration, "mainclass"));
    char* windowClass =
        mainClass != nullptr && mainClass[0] != 0 ? createWindowClass(mainClass.get()) : nullptr;
    if (windowClass == nullptr && !request.image.quiet) {
        printf("larkwin-pack: the configuration names no main class itself, so the menu entry "
               "has no StartupWMClass; give --wm-class\n");
    }
    return windowClass;
}

static int hasSocket(const char* configuration) {
    ownedString port(createDirectiveArgument(configuration, "socket"));
    return port != nullptr && atoi(port.get()) != 0;
}

static void writeEntry(const char* root, const std::string& name, const char* suffix,
                       const desktopEntry& entry, std::vector<installedEntry>& files) {
    ownedString text(createDesktopEntryText(entry));
    addFile(root, "/usr/share/applications/" + name + suffix + ".desktop", text.get(), files);
}

// One menu entry; with a socket and media types, a second one, not shown in
// the menu, opens files and URLs through +SHELL: the menu's own entry must
// start the application, and "+SHELL" without arguments starts nothing.
static void addMenuEntries(const packageRequest& request, const char* configuration,
                           const char* root, std::vector<installedEntry>& files) {
    std::string categories = request.categories ? *request.categories : "Utility";
    if (categories.empty() || categories.back() != ';') {
        categories += ';';
    }
    ownedString windowClass(createEntryWindowClass(request, configuration));
    ownedString mimeTypes(createMimeTypeList(request.fileTypes, request.urlSchemes));
    int opensFiles = mimeTypes[0] != 0;
    int shell = opensFiles && hasSocket(configuration);
    std::string command = "/usr/bin/" + request.name;
    std::string exec = command + (shell ? " +SHELL" : "") +
                       (!opensFiles                     ? ""
                        : request.urlSchemes.size() > 0 ? " %U"
                                                        : " %F");
    desktopEntry entry = {request.name.c_str(), request.description.c_str(),
                          exec.c_str(),         request.icon ? request.name.c_str() : nullptr,
                          categories.c_str(),   windowClass.get(),
                          mimeTypes.get(),      0,
                          request.terminal};
    if (shell) {
        entry.noDisplay = 1;
        writeEntry(root, request.name, "-open", entry, files);
        entry.exec = command.c_str();
        entry.mimeTypes = nullptr;
        entry.noDisplay = 0;
    }
    writeEntry(root, request.name, "", entry, files);
}

static void addMediaTypes(const packageRequest& request, const char* root,
                          std::vector<installedEntry>& files) {
    if (request.fileTypes.empty()) {
        return;
    }
    ownedString text(createMimeInfo(request.fileTypes));
    addFile(root, "/usr/share/mime/packages/" + request.name + ".xml", text.get(), files);
}

// Checked by appstreamcli where it is installed, without the network.
static void addMetainfo(const packageRequest& request, const char* root,
                        std::vector<installedEntry>& files) {
    if (!request.metainfo) {
        return;
    }
    std::string metainfo = *request.metainfo;
    ownedString validator(createExePath(const_cast<char*>("appstreamcli")));
    if (validator != nullptr) {
        char* arguments[] = {validator.get(), const_cast<char*>("validate"),
                             const_cast<char*>("--no-net"), &metainfo[0], nullptr};
        stringBuffer printed;
        runToolOrFail(arguments, &printed);
    }
    size_t slash = metainfo.rfind('/');
    addCopy(root,
            "/usr/share/metainfo/" + metainfo.substr(slash != std::string::npos ? slash + 1 : 0),
            metainfo.c_str(), files);
}

// Debian's copyright file is the licence file; the changelog, which Debian
// wants of every package, says that larkwin-pack made this version.
static void addDocumentation(const packageRequest& request, const char* root, long epochSeconds,
                             std::vector<installedEntry>& files) {
    std::string directory = "/usr/share/doc/" + request.name;
    const std::optional<std::string>& maintainer =
        request.maintainer ? request.maintainer : request.vendor;
    ownedString changelog(createChangelog(request.name.c_str(), request.version.c_str(),
                                          maintainer ? maintainer->c_str() : "unknown",
                                          epochSeconds));
    if (request.licenseFile) {
        addCopy(root, directory + "/copyright", request.licenseFile->c_str(), files);
        files.pop_back();
    }
    packMakeDirectories((root + directory).c_str());
    writeGzipFile((root + directory + "/changelog.gz").c_str(), changelog.get());
    listFile(files, directory);
}

static void addManualPage(const packageRequest& request, const char* root,
                          std::vector<installedEntry>& files) {
    std::string inPackage = "/usr/share/man/man1/" + request.name + ".1.gz";
    std::string path = root + inPackage;
    ownedString directory(createParentPath(path.c_str()));
    ownedString page(createManualPage(request.name.c_str(), request.version.c_str(),
                                      request.description.c_str()));
    packMakeDirectories(directory.get());
    writeGzipFile(path.c_str(), page.get());
    listFile(files, inPackage);
}

// A package gets a menu entry when the user asks for one, or for something
// that a desktop shows: a command-line tool, or a service that systemd
// starts, does nothing visible when started from a menu.
static int wantsMenuEntries(const packageRequest& request) {
    if (request.menuEntry) {
        return *request.menuEntry;
    }
    return request.terminal || request.icon || request.categories || request.wmClass ||
           !request.fileTypes.empty() || !request.urlSchemes.empty();
}

void stagePackageTree(const packageRequest& request, const char* configuration, const char* root,
                      const char* work, long epochSeconds, std::vector<installedEntry>& files) {
    listFile(files, "/opt/" + request.name);
    addCommand(root, request.name, files);
    addSiteSettings(root, request.name, files);
    if (wantsMenuEntries(request)) {
        addMenuEntries(request, configuration, root, files);
    }
    if (request.icon) {
        stringArray icons;
        installIcons(request.icon->c_str(), request.name.c_str(), root, work, icons);
        for (int i = 0; i < icons.size(); i++) {
            listFile(files, icons[i]);
        }
    }
    addMediaTypes(request, root, files);
    addMetainfo(request, root, files);
    addDocumentation(request, root, epochSeconds, files);
    addManualPage(request, root, files);
    // With --service, the systemd unit (see packageService.h).
    stageServiceUnit(request, root, files);
}
