// The .deb format, a row of packageFormats: --deb DIR makes
// NAME_VERSION_ARCH.deb in DIR with Debian's tools. dpkg-shlibdeps finds what
// the image's ELF files need, dpkg-gencontrol writes the control file,
// dpkg-deb builds the package from the staged tree, to which this adds
// lintian's overrides and the DEBIAN directory. It needs --maintainer and
// --license-file.
#include "pack/base/reasonedFiles.h"
#include "pack/deb/aptRepository.h"
#include "pack/deb/aptSubscription.h"
#include "pack/deb/debianScripts.h"
#include "pack/package/packageFormat.h"
#include "pack/package/packageRequest.h"
#include "pack/package/packageTexts.h"
#include "pack/package/stagingFiles.h"
#include "pack/repository/repositoryFiles.h"
#include "pack/tools/toolProcess.h"
#include "unix/exePath.h"
#include "unix/files.h"
#include "util/owned.h"
#include "util/stringArray.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

// The tool's path along PATH; throws naming the Debian package that has it.
static std::string toolPath(const char* tool, const char* package) {
    ownedString path(createExePath(const_cast<char*>(tool)));
    if (path == nullptr) {
        std::string message = std::string("cannot find ") + tool + " (Debian's " + package + ")";
        throw createStringCopy(message.c_str());
    }
    return path.get();
}

// A tool's argument vector.
class argumentList {
  public:
    argumentList(const char* tool, const char* package) : list{toolPath(tool, package)} {}
    void add(const std::string& argument) { list.push_back(argument); }
    void add(const char* prefix, const std::string& value) { list.push_back(prefix + value); }
    // Runs it in the directory; its standard output is returned in printed,
    // with its standard error too when errorsToo is set.
    void run(const char* directory, stringBuffer& printed, int errorsToo = 0) {
        std::vector<char*> vector;
        for (std::string& argument : list) {
            vector.push_back(&argument[0]);
        }
        vector.push_back(nullptr);
        if (errorsToo) {
            runToolCollectingErrors(directory, vector.data(), &printed);
        } else {
            runToolInOrFail(directory, vector.data(), &printed);
        }
    }

  private:
    std::vector<std::string> list;
};

static void appendField(stringBuffer& text, const char* field, const char* value) {
    if (value != nullptr) {
        text.append(field);
        text.append(": ");
        text.append(value);
        text.append('\n');
    }
}

// The extended description: the text given, or what the package is, in
// lines that fit lintian's 80 columns.
static void appendDescription(stringBuffer& text, const packageRequest& request) {
    text.append("Description: ");
    text.append(request.description.c_str());
    text.append('\n');
    std::string words = request.longDescription
                            ? *request.longDescription
                            : request.name + " " + request.version +
                                  " is a Java application with its own Java runtime, installed "
                                  "under /opt/" +
                                  request.name + ".";
    appendWrapped(text, words.c_str(), 79, " ");
    text.append('\n');
}

// debian/control as dpkg-gencontrol reads it: the source's stanza and the
// binary package's, whose Depends are what dpkg-shlibdeps found.
static char* createControl(const packageRequest& request) {
    stringBuffer text;
    appendField(text, "Source", request.name.c_str());
    appendField(text, "Section", "misc");
    appendField(text, "Priority", "optional");
    appendField(text, "Maintainer", optionalText(request.maintainer));
    appendField(text, "Homepage", optionalText(request.homepage));
    text.append('\n');
    appendField(text, "Package", request.name.c_str());
    appendField(text, "Architecture", "any");
    appendField(text, "Depends", "${shlibs:Depends}");
    appendDescription(text, request);
    return text.createString();
}

static void writeDebianDirectory(const packageRequest& request, const char* work,
                                 long epochSeconds) {
    std::string debian = std::string(work) + "/debian";
    ownedString control(createControl(request));
    ownedString changelog(createChangelog(request.name.c_str(), request.version.c_str(),
                                          optionalText(request.maintainer), epochSeconds));
    packMakeDirectories(debian.c_str());
    writeTextFile((debian + "/control").c_str(), control.get(), 0644);
    writeTextFile((debian + "/changelog").c_str(), changelog.get(), 0644);
}

// The directories of the image's own shared libraries, so that
// dpkg-shlibdeps takes what they provide for private, and each ELF file.
static void findShlibdepsArguments(const char* image, argumentList& arguments) {
    stringArray files;
    findFiles(image, files, 1);
    std::vector<std::string> directories;
    for (int i = 0; i < files.size(); i++) {
        size_t length = strlen(files[i]);
        ownedString directory(createParentPath(files[i]));
        if (length > 3 && strcmp(files[i] + length - 3, ".so") == 0 &&
            std::find(directories.begin(), directories.end(), directory.get()) ==
                directories.end()) {
            arguments.add("-l", directory.get());
            directories.push_back(directory.get());
        }
    }
    for (int i = 0; i < files.size(); i++) {
        arguments.add(files[i]);
    }
}

static void writeControlFiles(const packageRequest& request, const char* root, const char* work) {
    std::string control = std::string(root) + "/DEBIAN";
    stringBuffer printed;
    // Where dpkg-shlibdeps sees the root of the package's tree.
    packMakeDirectories(control.c_str());
    argumentList shlibdeps("dpkg-shlibdeps", "dpkg-dev");
    shlibdeps.add("-Tdebian/substvars");
    findShlibdepsArguments((std::string(root) + "/opt/" + request.name).c_str(), shlibdeps);
    // It warns of every private library, whose name carries no version.
    shlibdeps.run(work, printed, 1);
    argumentList gencontrol("dpkg-gencontrol", "dpkg-dev");
    gencontrol.add("-P", root);
    gencontrol.add("-Tdebian/substvars");
    gencontrol.add("-fdebian/files");
    gencontrol.run(work, printed);
}

// DEBIAN/conffiles and DEBIAN/md5sums, which dpkg-deb does not make.
static void writeFileLists(const packageRequest& request, const char* root) {
    std::string conffiles = "/etc/" + request.name + "/" + request.name + ".config\n";
    // The subscription to updates, when the package has one.
    if (fileExists(root + aptSourcesPath(request.name))) {
        conffiles += aptSourcesPath(request.name) + "\n" + aptKeyringPath(request.name) + "\n";
    }
    writeTextFile((std::string(root) + "/DEBIAN/conffiles").c_str(), conffiles.c_str(), 0644);
    argumentList md5sum("md5sum", "coreutils");
    md5sum.add("--");
    stringArray files;
    findFiles(root, files, 0);
    size_t prefix = strlen(root) + 1;
    for (int i = 0; i < files.size(); i++) {
        if (strncmp(files[i] + prefix, "DEBIAN/", 7) != 0) {
            md5sum.add(files[i] + prefix);
        }
    }
    stringBuffer sums;
    md5sum.run(root, sums);
    sums.append('\0');
    writeTextFile((std::string(root) + "/DEBIAN/md5sums").c_str(), sums.getData(), 0644);
}

static std::vector<std::string> writeDebianPackage(const packageRequest& request,
                                                   const stagedTree& tree,
                                                   const std::string& directory) {
    if (tree.publicKey != nullptr) {
        addAptSubscription(tree.root, request.name, request.updates->url, *tree.publicKey);
    }
    writeDebianDirectory(request, tree.work, tree.epochSeconds);
    writeControlFiles(request, tree.root, tree.work);
    writeFileLists(request, tree.root);
    writeDebianScripts(request, tree.root);
    // Built in the scratch directory: dpkg-deb writes in place.
    std::string built = std::string(tree.work) + "/deb";
    packMakeDirectories(built.c_str());
    argumentList build("dpkg-deb", "dpkg");
    build.add("--root-owner-group");
    // xz -1 rather than dpkg-deb's -6: a third of the time (a runtime's
    // 130 MB, bench/PACK_TIME.md) for a package 14% larger. The
    // environment's choice, when it makes one, holds.
    if (getenv("DPKG_DEB_COMPRESSOR_LEVEL") == nullptr &&
        getenv("DPKG_DEB_COMPRESSOR_TYPE") == nullptr) {
        build.add("-Zxz");
        build.add("-z1");
    }
    build.add("--build");
    build.add(tree.root);
    build.add(built);
    stringBuffer printed;
    build.run(nullptr, printed);
    removeAptSubscription(tree.root, request.name);
    return publishPackages(built.c_str(), directory.c_str(), request.image.quiet);
}

// Each override says why the tag does not apply to an application packaged
// this way; only a trained image ships an archive.
static void stageLintianOverrides(const packageRequest& request, const stagedTree& tree) {
    const std::string& name = request.name;
    std::string text =
        "# The application is installed whole under /opt/" + name +
        ", the place the FHS gives\n# an add-on application package; nothing there is shared.\n" +
        name + ": dir-or-file-in-opt [opt/" + name +
        "/*]\n# The launcher is a static position-independent executable followed by the\n"
        "# application's archive: it needs no shared libraries.\n" +
        name + ": shared-library-lacks-prerequisites [opt/" + name + "/bin/" + name +
        "]\n# The application's own jars and those of its private Java runtime, read by\n"
        "# its launcher and runtime alone.\n" +
        name + ": jar-not-in-usr-share [opt/" + name +
        "/*]\n# The private Java runtime's own native libraries, as its build made them:\n"
        "# some JDKs (Temurin, for one) link zlib into libjli.so and libzip.so, and\n"
        "# freetype, lcms2 and libjpeg into java.desktop's libraries. Only that runtime\n"
        "# loads them.\n" +
        name + ": embedded-library * [opt/" + name + "/runtime/lib/*]\n";
    if (request.image.training) {
        text += "# The start-up archive is only ever mapped read-only by the JVM; 0444 keeps\n"
                "# it so.\n" +
                name + ": non-standard-file-perm 0444 != 0644 [opt/" + name +
                "/lib/startupcache/*.jsa]\n";
    }
    std::string directory = std::string(tree.root) + "/usr/share/lintian/overrides";
    packMakeDirectories(directory.c_str());
    writeTextFile((directory + "/" + name).c_str(), text.c_str(), 0644);
}

// dpkg-gencontrol replaces "${NAME}" in every field of the control file
// (${Newline} by a line feed) and knows no escape for it.
static std::string checkDebianRequest(const packageRequest& request) {
    if (!request.maintainer || !request.licenseFile) {
        return "--deb needs --maintainer 'NAME <EMAIL>' and --license-file FILE";
    }
    const std::pair<const char*, std::optional<std::string>> fields[] = {
        {"--description", request.description},
        {"--long-description", request.longDescription},
        {"--maintainer", request.maintainer},
        {"--homepage", request.homepage}};
    for (const auto& field : fields) {
        if (field.second.has_value() && field.second->find("${") != std::string::npos) {
            return std::string(field.first) +
                   " cannot hold '${': dpkg-gencontrol would replace it in the control file";
        }
    }
    return "";
}

static const char* const debianNeeds[] = {"--maintainer", "--license-file", nullptr};

extern const packageFormat debianFormat = {
    "--deb",
    "  --deb DIR          write NAME_VERSION_ARCH.deb into DIR\n",
    checkDebianRequest,
    stageLintianOverrides,
    writeDebianPackage,
    "--apt-repo",
    "  --apt-repo REPO    with --deb: add the .deb to the signed apt repository REPO\n",
    writeAptRepository,
    prepareAptRepository,
    debianNeeds,
    debianScripts,
    "apt",
    nullptr};
