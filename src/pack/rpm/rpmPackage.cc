#include "pack/rpm/rpmPackage.h"

#include "pack/package/packageFormat.h"
#include "pack/package/packageRequest.h"
#include "pack/package/packageTexts.h"
#include "pack/package/packageTree.h"
#include "pack/package/stagingFiles.h"
#include "pack/rpm/rpmRepository.h"
#include "pack/rpm/rpmScripts.h"
#include "pack/rpm/rpmSubscription.h"
#include "pack/tools/toolProcess.h"
#include "unix/exePath.h"
#include "util/owned.h"
#include "util/stringArray.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

static void appendAll(stringBuffer& text, const char* const* parts, int count) {
    for (int i = 0; i < count; i++) {
        text.append(parts[i]);
    }
}

// A value in an rpm build recipe: "%" would start a macro.
static void appendRecipeText(stringBuffer& text, const char* value) {
    for (const char* c = value; *c != 0; c++) {
        text.append(*c);
        if (*c == '%') {
            text.append('%');
        }
    }
}

static void appendTag(stringBuffer& text, const char* tag, const char* value) {
    if (value != nullptr) {
        text.append(tag);
        text.append(": ");
        appendRecipeText(text, value);
        text.append('\n');
    }
}

// The regular expression of the image's own libraries, for the automatic
// requirements to leave out: nothing outside the package provides them.
static void appendPrivateLibraries(stringBuffer& text, const stringArray& libraries) {
    if (libraries.size() == 0) {
        return;
    }
    text.append("%global __requires_exclude ^(");
    for (int i = 0; i < libraries.size(); i++) {
        text.append(i > 0 ? "|" : "");
        for (const char* c = libraries[i]; *c != 0; c++) {
            text.append(*c == '.' || *c == '+' ? "\\\\" : "");
            text.append(*c);
        }
    }
    text.append(")\\\\(.*$\n");
}

static void appendHeader(stringBuffer& text, const packageRequest& request,
                         const stringArray& privateLibraries) {
    appendTag(text, "Name", request.name.c_str());
    appendTag(text, "Version", request.version.c_str());
    appendTag(text, "Release", "1");
    appendTag(text, "Summary", request.description.c_str());
    appendTag(text, "License", optionalText(request.license));
    appendTag(text, "URL", optionalText(request.homepage));
    appendTag(text, "Vendor", optionalText(request.vendor));
    appendTag(text, "Packager", optionalText(request.maintainer));
    const char* parts[] = {
        // The image's files are made already: no debug package, no build-id
        // links, and none of the distribution's changes to them.
        "%global debug_package %{nil}\n%global _build_id_links none\n"
        // With SOURCE_DATE_EPOCH (else they do nothing): the build time and
        // the files' times are that date, as dpkg-deb does by itself.
        "%global use_source_date_epoch_as_buildtime 1\n"
        "%global clamp_mtime_to_source_date_epoch 1\n"
        "%global __os_install_post %{nil}\n%global __provides_exclude_from ^/opt/",
        request.name.c_str(), "/.*$\n"};
    appendAll(text, parts, 3);
    appendPrivateLibraries(text, privateLibraries);
    text.append("\n%description\n");
    appendRecipeText(
        text, (request.longDescription ? *request.longDescription : request.description).c_str());
    text.append('\n');
}

// The one entry of the changelog, which names who packaged it: only with a
// packager.
static void appendChangelog(stringBuffer& text, const packageRequest& request, long epochSeconds) {
    if (!request.maintainer) {
        return;
    }
    time_t when = (time_t)epochSeconds;
    struct tm utc;
    if (gmtime_r(&when, &utc) == nullptr) {
        char seconds[32];
        snprintf(seconds, sizeof seconds, "%ld", epochSeconds);
        throw createMessage("SOURCE_DATE_EPOCH %s is beyond the dates this system knows", seconds);
    }
    const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char date[32];
    snprintf(date, sizeof date, "%s %s %02d %04d", days[utc.tm_wday], months[utc.tm_mon],
             utc.tm_mday, utc.tm_year + 1900);
    text.append("\n%changelog\n* ");
    text.append(date);
    text.append(' ');
    appendRecipeText(text, request.maintainer->c_str());
    text.append(" - ");
    appendRecipeText(text, request.version.c_str());
    text.append("-1\n- Packaged by larkwin-pack.\n");
}

// A path of "%files", which rpmbuild expands as macros more than once and
// then reads as a glob pattern, split at blanks, with no escape that
// survives all of that: "%" and the glob characters are written as the
// bracket expressions that match them alone ("[%]" names no macro), and a
// blank, a quote, a backslash or a brace (brace expansion) as "?", which
// matches it. A control character, which rpm refuses in a file's name, is
// refused.
static void appendRecipePath(stringBuffer& text, const char* path) {
    for (const unsigned char* c = (const unsigned char*)path; *c != 0; c++) {
        if (*c < 0x20 || *c == 0x7F) {
            throw createMessage("'%s' holds a control character, which an rpm package cannot "
                                "list",
                                path);
        } else if (strchr("%*?[]", *c) != nullptr) {
            text.append('[');
            text.append((char)*c);
            text.append(']');
        } else if (strchr(" \t\"'\\{}", *c) != nullptr) {
            text.append('?');
        } else {
            text.append((char)*c);
        }
    }
}

// One line of "%files": a path, or a directive ("%dir", "%config(...)")
// followed by a blank and a path.
static void appendFilesLine(stringBuffer& text, const char* line) {
    const char* path = line;
    if (line[0] == '%') {
        path = strchr(line, ' ') + 1;
        text.append(line, (int)(path - line));
    }
    appendRecipePath(text, path);
    text.append('\n');
}

char* createRpmRecipe(const packageRequest& request, const char* root, const stringArray& files,
                      const stringArray& privateLibraries) {
    stringBuffer text;
    appendHeader(text, request, privateLibraries);
    text.append("\n%install\ncp -a '");
    appendRecipeText(text, root);
    text.append("/.' %{buildroot}/\nrm -rf %{buildroot}/DEBIAN %{buildroot}/usr/share/lintian\n");
    // The staged tree links the command absolutely, as Debian asks of a link
    // between top-level directories; rpmbuild warns of an absolute link at
    // every build, so the .rpm's is relative.
    text.append("ln -sfn '../../opt/");
    appendRecipeText(text, request.name.c_str());
    text.append("/bin/");
    appendRecipeText(text, request.name.c_str());
    text.append("' '%{buildroot}/usr/bin/");
    appendRecipeText(text, request.name.c_str());
    text.append("'\n");
    text.append("\n%files\n%defattr(-,root,root,-)\n");
    for (int i = 0; i < files.size(); i++) {
        appendFilesLine(text, files[i]);
    }
    appendChangelog(text, request, getPackageTime());
    appendRpmScripts(request, text);
    return text.createString();
}

// The names of the shared libraries in the image.
static void findPrivateLibraries(const char* image, stringArray& libraries) {
    stringArray files;
    findFiles(image, files, 1);
    for (int i = 0; i < files.size(); i++) {
        const char* name = strrchr(files[i], '/') + 1;
        if (strstr(name, ".so") != nullptr && libraries.find(name, strcmp) < 0) {
            libraries.append(createStringCopy(name));
        }
    }
}

static void runRpmbuild(const char* work, const std::string& recipe, stringBuffer& printed) {
    ownedString rpmbuild(createExePath(const_cast<char*>("rpmbuild")));
    if (rpmbuild == nullptr) {
        throw createStringCopy("cannot find rpmbuild (Debian's rpm)");
    }
    std::string topdir = std::string("_topdir ") + work;
    std::string rpmdir = std::string("_rpmdir ") + work;
    // Built into work/rpm, from where it is moved whole.
    // zstd -3 rather than rpm's gzip -9: smaller, and a fraction of the time
    // (bench/PACK_TIME.md); rpm reads it since 4.14.
    char* arguments[] = {rpmbuild.get(),
                         const_cast<char*>("-bb"),
                         const_cast<char*>("--quiet"),
                         const_cast<char*>("--define"),
                         const_cast<char*>("_binary_payload w3.zstdio"),
                         const_cast<char*>("--define"),
                         &topdir[0],
                         const_cast<char*>("--define"),
                         &rpmdir[0],
                         const_cast<char*>("--define"),
                         const_cast<char*>("_build_name_fmt rpm/%%{NAME}-%%{VERSION}-%%{RELEASE}."
                                           "%%{ARCH}.rpm"),
                         const_cast<char*>(recipe.c_str()),
                         nullptr};
    runToolOrFail(arguments, &printed);
}

void appendFilesLines(const std::vector<installedEntry>& installed, stringArray& files) {
    for (const installedEntry& entry : installed) {
        const char* directive = entry.kind == installedDirectory  ? "%dir "
                                : entry.kind == installedSettings ? "%config(noreplace) "
                                                                  : "";
        files.append(createStringCopy((directive + entry.path).c_str()));
    }
}

static std::vector<std::string> writeRpmPackage(const packageRequest& request,
                                                const stagedTree& tree,
                                                const std::string& directory) {
    stringArray libraries;
    findPrivateLibraries((std::string(tree.root) + "/opt").c_str(), libraries);
    stringArray files;
    appendFilesLines(*tree.installed, files);
    if (tree.publicKey != nullptr) {
        for (const std::string& line :
             addRpmSubscription(tree.root, request.name, request.updates->url, *tree.publicKey)) {
            files.append(createStringCopy(line.c_str()));
        }
    }
    ownedString text(createRpmRecipe(request, tree.root, files, libraries));
    std::string recipe = std::string(tree.work) + "/package.rpmrecipe";
    stringBuffer printed;
    writeTextFile(recipe.c_str(), text.get(), 0644);
    runRpmbuild(tree.work, recipe, printed);
    removeRpmSubscription(tree.root, request.name);
    return publishPackages((std::string(tree.work) + "/rpm").c_str(), directory.c_str(),
                           request.image.quiet);
}

// rpm's URL tag takes one token.
static std::string checkRpmRequest(const packageRequest& request) {
    if (!request.license) {
        return "--rpm needs --license NAME, such as MIT or GPL-2.0-or-later";
    }
    bool blank = request.homepage && request.homepage->find_first_of(" \t") != std::string::npos;
    return blank ? "--homepage takes a URL, which holds no blank" : "";
}

// All it installs is in the staged tree already.
static void stageNothing(const packageRequest&, const stagedTree&) {}

static const char* const rpmNeeds[] = {"--license", nullptr};

// The tags that only the .rpm has.
static const char* const rpmOwnOptions[] = {"--vendor", "the rpm's vendor", "--license",
                                            "the rpm's License tag", nullptr};

extern const packageFormat rpmFormat = {
    "--rpm",
    "  --rpm DIR          write NAME-VERSION-1.ARCH.rpm into DIR\n",
    checkRpmRequest,
    stageNothing,
    writeRpmPackage,
    "--rpm-repo",
    "  --rpm-repo REPO    with --rpm: add the .rpm, signed, to the rpm repository REPO\n"
    "                     (it may be the folder of --apt-repo)\n",
    writeRpmRepository,
    prepareRpmRepository,
    rpmNeeds,
    rpmScripts,
    "dnf",
    rpmOwnOptions};
