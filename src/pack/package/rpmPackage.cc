#include "pack/package/rpmPackage.h"

#include "pack/options/packOptions.h"
#include "pack/package/packageService.h"
#include "pack/package/packageTexts.h"
#include "pack/package/packageTree.h"
#include "pack/package/stagingFiles.h"
#include "pack/tools/toolProcess.h"
#include "unix/exePath.h"
#include "util/stringArray.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cstdio>
#include <cstring>
#include <ctime>

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

static void appendHeader(stringBuffer& text, const packOptions& options,
                         const stringArray& privateLibraries) {
    appendTag(text, "Name", options.name);
    appendTag(text, "Version", options.appVersion);
    appendTag(text, "Release", "1");
    appendTag(text, "Summary", options.description);
    appendTag(text, "License", options.license);
    appendTag(text, "URL", options.homepage);
    appendTag(text, "Vendor", options.vendor);
    appendTag(text, "Packager", options.maintainer);
    const char* parts[] = {
        // The image's files are made already: no debug package, no build-id
        // links, and none of the distribution's changes to them.
        "%global debug_package %{nil}\n%global _build_id_links none\n"
        "%global __os_install_post %{nil}\n%global __provides_exclude_from ^/opt/",
        options.name, "/.*$\n"};
    appendAll(text, parts, 3);
    appendPrivateLibraries(text, privateLibraries);
    text.append("\n%description\n");
    appendRecipeText(text, options.longDescription != nullptr ? options.longDescription
                                                              : options.description);
    text.append('\n');
}

// The one entry of the changelog, which names who packaged it: only with a
// packager.
static void appendChangelog(stringBuffer& text, const packOptions& options, long epochSeconds) {
    if (options.maintainer == nullptr) {
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
    appendRecipeText(text, options.maintainer);
    text.append(" - ");
    appendRecipeText(text, options.appVersion);
    text.append("-1\n- Packaged by larkwin-pack.\n");
}

char* createRpmRecipe(const packOptions& options, const char* root, const stringArray& files,
                      const stringArray& privateLibraries) {
    stringBuffer text;
    appendHeader(text, options, privateLibraries);
    text.append("\n%install\ncp -a '");
    appendRecipeText(text, root);
    text.append("/.' %{buildroot}/\nrm -rf %{buildroot}/DEBIAN %{buildroot}/usr/share/lintian\n"
                "\n%files\n%defattr(-,root,root,-)\n");
    for (int i = 0; i < files.size(); i++) {
        text.append(files[i]);
        text.append('\n');
    }
    appendChangelog(text, options, getPackageTime());
    appendRpmServiceScripts(options, text);
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

static void runRpmbuild(const char* work, const char* recipe, stringBuffer& printed) {
    char* rpmbuild = createExePath(const_cast<char*>("rpmbuild"));
    if (rpmbuild == nullptr) {
        throw createStringCopy("cannot find rpmbuild (Debian's rpm)");
    }
    char* topdir = createString("_topdir ", work);
    char* rpmdir = createString("_rpmdir ", work);
    // Built into work/rpm, from where it is moved whole.
    char* arguments[] = {rpmbuild,
                         const_cast<char*>("-bb"),
                         const_cast<char*>("--quiet"),
                         const_cast<char*>("--define"),
                         topdir,
                         const_cast<char*>("--define"),
                         rpmdir,
                         const_cast<char*>("--define"),
                         const_cast<char*>("_build_name_fmt rpm/%%{NAME}-%%{VERSION}-%%{RELEASE}."
                                           "%%{ARCH}.rpm"),
                         const_cast<char*>(recipe),
                         nullptr};
    try {
        runToolOrFail(arguments, &printed);
    } catch (char*) {
        delete[] rpmdir;
        delete[] topdir;
        delete[] rpmbuild;
        throw;
    }
    delete[] rpmdir;
    delete[] topdir;
    delete[] rpmbuild;
}

void writeRpmPackage(const packOptions& options, const char* root, const char* work,
                     const stringArray& files, stringArray& published) {
    char* image = createString(root, "/opt");
    stringArray libraries;
    findPrivateLibraries(image, libraries);
    delete[] image;
    char* text = createRpmRecipe(options, root, files, libraries);
    char* recipe = joinPath(work, "package.rpmrecipe");
    stringBuffer printed;
    try {
        writeTextFile(recipe, text, 0644);
        runRpmbuild(work, recipe, printed);
    } catch (char*) {
        delete[] recipe;
        delete[] text;
        throw;
    }
    delete[] recipe;
    delete[] text;
    char* built = joinPath(work, "rpm");
    try {
        publishPackages(built, options.rpm, options.quiet, published);
    } catch (char*) {
        delete[] built;
        throw;
    }
    delete[] built;
}
