#include "pack/package/debianPackage.h"

#include "pack/options/packOptions.h"
#include "pack/package/packageService.h"
#include "pack/package/packageTexts.h"
#include "pack/package/stagingFiles.h"
#include "pack/repository/repositoryFiles.h"
#include "pack/repository/subscription.h"
#include "pack/tools/toolProcess.h"
#include "unix/exePath.h"
#include "unix/files.h"
#include "util/stringArray.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cstring>

// The tool's path along PATH; throws naming the Debian package that has it.
static char* createToolPath(const char* tool, const char* package) {
    char* path = createExePath(const_cast<char*>(tool));
    if (path == nullptr) {
        stringBuffer message;
        const char* parts[] = {"cannot find ", tool, " (Debian's ", package, ")"};
        for (const char* part : parts) {
            message.append(part);
        }
        throw message.createString();
    }
    return path;
}

// A tool's argument vector: owned strings, closed by null on use.
class argumentList {
  public:
    argumentList(const char* tool, const char* package) {
        list.append(createToolPath(tool, package));
    }
    void add(const char* argument) { list.append(createStringCopy(argument)); }
    void add(const char* prefix, const char* value) { list.append(createString(prefix, value)); }
    // Runs it in the directory; its standard output is returned in printed,
    // with its standard error too when errorsToo is set.
    void run(const char* directory, stringBuffer& printed, int errorsToo = 0) {
        char** vector = new char*[list.size() + 1];
        for (int i = 0; i < list.size(); i++) {
            vector[i] = list[i];
        }
        vector[list.size()] = nullptr;
        try {
            if (errorsToo) {
                runToolCollectingErrors(directory, vector, &printed);
            } else {
                runToolInOrFail(directory, vector, &printed);
            }
        } catch (char*) {
            delete[] vector;
            throw;
        }
        delete[] vector;
    }

  private:
    stringArray list;
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
static void appendDescription(stringBuffer& text, const packOptions& options) {
    text.append("Description: ");
    text.append(options.description);
    text.append('\n');
    if (options.longDescription != nullptr) {
        appendWrapped(text, options.longDescription, 79, " ");
    } else {
        const char* parts[] = {options.name,
                               " ",
                               options.appVersion,
                               " is a Java application with its own Java runtime, installed "
                               "under /opt/",
                               options.name,
                               "."};
        stringBuffer words;
        for (const char* part : parts) {
            words.append(part);
        }
        words.append('\0');
        appendWrapped(text, words.getData(), 79, " ");
    }
    text.append('\n');
}

// debian/control as dpkg-gencontrol reads it: the source's stanza and the
// binary package's, whose Depends are what dpkg-shlibdeps found.
static char* createControl(const packOptions& options) {
    stringBuffer text;
    appendField(text, "Source", options.name);
    appendField(text, "Section", "misc");
    appendField(text, "Priority", "optional");
    appendField(text, "Maintainer", options.maintainer);
    appendField(text, "Homepage", options.homepage);
    text.append('\n');
    appendField(text, "Package", options.name);
    appendField(text, "Architecture", "any");
    appendField(text, "Depends", "${shlibs:Depends}");
    appendDescription(text, options);
    return text.createString();
}

static void writeDebianDirectory(const packOptions& options, const char* work, long epochSeconds) {
    char* debian = joinPath(work, "debian");
    char* control = joinPath(debian, "control");
    char* changelog = joinPath(debian, "changelog");
    char* controlText = createControl(options);
    char* changelogText =
        createChangelog(options.name, options.appVersion, options.maintainer, epochSeconds);
    try {
        makeDirectories(debian);
        writeTextFile(control, controlText, 0644);
        writeTextFile(changelog, changelogText, 0644);
    } catch (char*) {
        delete[] changelogText;
        delete[] controlText;
        delete[] changelog;
        delete[] control;
        delete[] debian;
        throw;
    }
    delete[] changelogText;
    delete[] controlText;
    delete[] changelog;
    delete[] control;
    delete[] debian;
}

// The directories of the image's own shared libraries, so that
// dpkg-shlibdeps takes what they provide for private, and each ELF file.
static void findShlibdepsArguments(const char* image, argumentList& arguments) {
    stringArray files;
    findFiles(image, files, 1);
    stringArray directories;
    for (int i = 0; i < files.size(); i++) {
        size_t length = strlen(files[i]);
        char* directory = createParentPath(files[i]);
        if (length > 3 && strcmp(files[i] + length - 3, ".so") == 0 &&
            directories.find(directory, strcmp) < 0) {
            arguments.add("-l", directory);
            directories.append(directory);
        } else {
            delete[] directory;
        }
    }
    for (int i = 0; i < files.size(); i++) {
        arguments.add(files[i]);
    }
}

static void writeControlFiles(const packOptions& options, const char* root, const char* work) {
    char* image = createString(root, "/opt/");
    char* imageDirectory = createString(image, options.name);
    delete[] image;
    char* control = createString(root, "/DEBIAN");
    stringBuffer printed;
    try {
        // Where dpkg-shlibdeps sees the root of the package's tree.
        makeDirectories(control);
        argumentList shlibdeps("dpkg-shlibdeps", "dpkg-dev");
        shlibdeps.add("-Tdebian/substvars");
        findShlibdepsArguments(imageDirectory, shlibdeps);
        // It warns of every private library, whose name carries no version.
        shlibdeps.run(work, printed, 1);
        argumentList gencontrol("dpkg-gencontrol", "dpkg-dev");
        gencontrol.add("-P", root);
        gencontrol.add("-Tdebian/substvars");
        gencontrol.add("-fdebian/files");
        gencontrol.run(work, printed);
    } catch (char*) {
        delete[] control;
        delete[] imageDirectory;
        throw;
    }
    delete[] control;
    delete[] imageDirectory;
}

// DEBIAN/conffiles and DEBIAN/md5sums, which dpkg-deb does not make.
static void writeFileLists(const packOptions& options, const char* root) {
    const char* parts[] = {"/etc/", options.name, "/", options.name, ".config\n"};
    stringBuffer conffiles;
    for (const char* part : parts) {
        conffiles.append(part);
    }
    // The subscription to updates, when the package has one.
    std::string sources = aptSourcesPath(options.name);
    if (fileExists(root + sources)) {
        conffiles.append(sources.c_str());
        conffiles.append('\n');
    }
    char* conffilesText = conffiles.createString();
    char* conffilesPath = createString(root, "/DEBIAN/conffiles");
    char* md5sumsPath = createString(root, "/DEBIAN/md5sums");
    stringBuffer sums;
    try {
        writeTextFile(conffilesPath, conffilesText, 0644);
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
        md5sum.run(root, sums);
        sums.append('\0');
        writeTextFile(md5sumsPath, sums.getData(), 0644);
    } catch (char*) {
        delete[] md5sumsPath;
        delete[] conffilesPath;
        delete[] conffilesText;
        throw;
    }
    delete[] md5sumsPath;
    delete[] conffilesPath;
    delete[] conffilesText;
}

void writeDebianPackage(const packOptions& options, const char* root, const char* work,
                        long epochSeconds, stringArray& published) {
    writeDebianDirectory(options, work, epochSeconds);
    writeControlFiles(options, root, work);
    writeFileLists(options, root);
    writeDebianServiceScripts(options, root);
    // Built in the scratch directory: dpkg-deb writes in place.
    char* built = joinPath(work, "deb");
    try {
        makeDirectories(built);
        argumentList build("dpkg-deb", "dpkg");
        build.add("--root-owner-group");
        build.add("--build");
        build.add(root);
        build.add(built);
        stringBuffer printed;
        build.run(nullptr, printed);
        publishPackages(built, options.deb, options.quiet, published);
    } catch (char*) {
        delete[] built;
        throw;
    }
    delete[] built;
}
