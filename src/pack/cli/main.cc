// larkwin-pack: writes one self-contained executable made of the launcher and
// an application archive that carries its configuration as its comment.
#include "launcher/zipComment.h"
#include "pack/image/applicationDirectory.h"
#include "pack/options/packOptions.h"
#include "pack/options/packRequests.h"
#include "pack/package/packageFormat.h"
#include "pack/package/packages.h"
#include "pack/repository/subscription.h"
#include "pack/zip/bundle.h"
#include "pack/zip/classPath.h"
#include "pack/zip/launchAttributes.h"
#include "unix/exePath.h"
#include "unix/files.h"
#include "unix/removalOnSignal.h"
#include "util/owned.h"
#include "util/stringArray.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <utility>

static const int exitFailure = 1;
static const int exitUsage = 2;
// The end record stores the comment length in 16 bits.
static const long longestConfiguration = 65535;

// The formats' options and lines take the places in braces.
static const char* usage =
    "Usage: larkwin-pack -o OUTPUT [--launcher PATH] (--config FILE | --main-class NAME) APP.jar\n"
    "                    [DEPENDENCY.jar...] [--java-version N] [--no-startup-cache] [--quiet]\n"
    "       larkwin-pack --app-image DIR [--name NAME] [--runtime auto|HOME]\n"
    "                    [--add-modules MODULE,...] [--exclude-modules MODULE,...]\n"
    "                    [--keep-debug] [--launcher PATH]\n"
    "                    (--config FILE | --main-class NAME) APP.jar [DEPENDENCY.jar...]\n"
    "                    [--app-content SRC[=DEST]...]\n"
    "                    [--java-version N] [--no-startup-cache] [--quiet]\n"
    "                    [--service [--service-user USER] [--service-notify]\n"
    "                    [--service-low-port]] [--train -- [ARGS...]]\n"
    "       larkwin-pack {formats} --name NAME --app-version VERSION\n"
    "                    --description TEXT [PACKAGE OPTIONS] [APP IMAGE OPTIONS]\n"
    "                    (--config FILE | --main-class NAME) APP.jar [DEPENDENCY.jar...]\n"
    "       larkwin-pack --show FILE\n"
    "\n"
    "Writes OUTPUT, one executable file: the launcher followed by APP.jar, whose\n"
    "offsets are moved past the launcher and whose comment is the configuration.\n"
    "OUTPUT appears only when it is complete, with mode 0755.\n"
    "\n"
    "The jars that manifests' Class-Path entries name within the naming jar's\n"
    "folder join the list (what leads out or names no file is reported); a jar\n"
    "only its owner may read is refused; the first jar's Add-Opens, Add-Exports\n"
    "and Enable-Native-Access become vmparam lines of the configuration.\n"
    "With dependencies, the archive appended is merged from all the jars, in the\n"
    "order given: the first entry of a name wins, and each duplicate file left\n"
    "out is named on standard error; META-INF/services files and the like are\n"
    "joined, Groovy's extension modules and Spring's registries merged key by\n"
    "key, dependencies' licences and notices kept as META-INF/licenses/JAR/NAME,\n"
    "Multi-Release kept; the dependencies' manifests, signature files and\n"
    "module-info.class are left out, and the first jar's signature when the\n"
    "merge changes what it signs. Entries are copied as they are stored; what\n"
    "cannot be merged faithfully is refused (see larkwin-pack(1)).\n"
    "\n"
    "  -o OUTPUT          the file to write\n"
    "  --launcher PATH    the launcher executable (default: the larkwin beside\n"
    "                     larkwin-pack)\n"
    "  --config FILE      the configuration text to embed\n"
    "  --main-class NAME  embed the configuration \"mainclass NAME\" and\n"
    "                     \"startupcache\", which keeps the application's classes\n"
    "                     ready for its next start\n"
    "  --no-startup-cache with --main-class: leave \"startupcache\" out\n"
    "  --java-version N   with --main-class, add the line \"javaversion N\": the\n"
    "                     application needs Java N or later (N-M: N to M)\n"
    "  --quiet            do not name the duplicates left out, nor print an app\n"
    "                     image's modules and size\n"
    "  --show FILE        print the configuration embedded in FILE exactly as the\n"
    "                     launcher reads it (with a line end after its last line);\n"
    "                     status 1 when FILE embeds none\n"
    "  --help             print this text\n"
    "  --version          print the version\n"
    "\n"
    "App images, which run where no Java is installed:\n"
    "  --app-image DIR    write the directory DIR instead of OUTPUT: DIR/lib holds the\n"
    "                     jars as they are, DIR/bin/NAME the launcher, DIR/runtime\n"
    "                     the Java runtime; the embedded configuration names the jars\n"
    "                     (\"addpath ../lib/JAR\") and ends with the line\n"
    "                     \"javapath ../runtime/bin/java\", which the launcher resolves\n"
    "                     against its own directory, so DIR can be moved. DIR must not\n"
    "                     exist (its parents are made); it is made beside itself under\n"
    "                     a temporary name and appears only when complete. Its size\n"
    "                     is reported.\n"
    "  --name NAME        the bundle's name in DIR/bin (default: DIR's last part)\n"
    "  --runtime auto     (the default) link a runtime with the jlink of the JDK that\n"
    "                     JAVA_HOME names or, when JAVA_HOME is unset or empty, of the\n"
    "                     JDK whose java is found on the PATH (links resolved), with\n"
    "                     the modules that its \"jdeps --print-module-deps\n"
    "                     --ignore-missing-deps\" finds in the jars and those reached\n"
    "                     through services or reflection (see larkwin-pack(1)),\n"
    "                     without debug data, man pages and headers; then make its\n"
    "                     base class-data archive (lib/server/classes.jsa) with\n"
    "                     \"java -Xshare:dump\"\n"
    "  --keep-debug       with --runtime auto: keep the JDK's debug data\n"
    "  --app-content SRC[=DEST]\n"
    "                     copy the file or folder SRC into DIR as DEST (a path\n"
    "                     under DIR, outside bin, lib and runtime; default:\n"
    "                     share/NAME/ and SRC's last part), with modes, times and\n"
    "                     links; a link that leads out of SRC is refused. A\n"
    "                     configuration names it with ${app.dir}, after expand:\n"
    "                     \"vmparam -Dapp.data=${app.dir}/share/NAME/data\"\n"
    "                     (repeatable; a bundle, one file, refuses it)\n"
    "  --runtime HOME     copy the runtime whose home is HOME (modes, times and\n"
    "                     links kept; links that lead outside HOME are copied as\n"
    "                     what they point to)\n"
    "  --add-modules MODULE,...\n"
    "                     modules to link beyond those jdeps finds (with\n"
    "                     --runtime auto), such as those only reached by\n"
    "                     reflection or as services, which jdeps cannot see\n"
    "  --exclude-modules MODULE,...\n"
    "                     modules to leave out of the runtime (with --runtime\n"
    "                     auto) whatever found or named them, as java.desktop\n"
    "                     for a headless tool; a warning names each that a\n"
    "                     class in the jars still refers to\n"
    "  --train -- ARGS... once the image is made, run DIR/bin/NAME ARGS (input\n"
    "                     /dev/null, output on standard error, at most 600\n"
    "                     seconds) so that its start-up cache makes the archive\n"
    "                     that DIR ships in DIR/lib/startupcache: even the first\n"
    "                     start of each user maps it when it matches (same\n"
    "                     runtime, VM options and VM shape; moved with DIR on\n"
    "                     JDK 25, not on JDK 17). Unless the run ends with status\n"
    "                     0 and leaves an archive, DIR is removed and\n"
    "                     larkwin-pack fails. With {either}: the package's\n"
    "                     image, in its staging directory, on Java 25 or later\n"
    "                     only (an older runtime's archive would not map where\n"
    "                     the package installs it)\n"
    "\n"
    "Packages, which install the app image under /opt/NAME with the command\n"
    "/usr/bin/NAME, a menu entry, icons, file types and URL schemes, and read\n"
    "/etc/NAME/NAME.config and ~/.config/NAME/NAME.config for settings:\n"
    "{rows}"
    "  --name NAME        the package and command (lower-case letters, digits, +-.)\n"
    "  --app-version V    the version: a digit, then letters, digits, '+', '.', '~'\n"
    "  --description TEXT one line: the summary and the menu entry's comment\n"
    "  --long-description TEXT   the longer description\n"
    "  --maintainer 'NAME <EMAIL>'  (needed by --deb)\n"
    "  --vendor TEXT      the rpm's vendor\n"
    "  --homepage URL\n"
    "  --license-file FILE  installed as the copyright file (needed by --deb)\n"
    "  --license NAME     the rpm's License tag (needed by --rpm)\n"
    "  --icon FILE        an .svg or a square .png, made into the usual sizes\n"
    "  --wm-class CLASS   the menu entry's StartupWMClass (default: the main class\n"
    "                     with '.' turned into '-', as Java names its windows)\n"
    "  --categories LIST  the menu entry's categories (default: Utility)\n"
    "  --menu-entry       a menu entry even without --icon, --wm-class,\n"
    "                     --categories, --file-type, --url-scheme or --terminal\n"
    "                     (without any of them a package has none: a command-line\n"
    "                     tool or a service does nothing visible from a menu)\n"
    "  --no-menu-entry    no menu entry, whatever else is given\n"
    "  --terminal         the menu entry runs it in a terminal (Terminal=true)\n"
    "  --file-type EXT,MIME,DESCRIPTION   a file type it opens (repeatable)\n"
    "  --url-scheme SCHEME                a URL scheme it opens (repeatable)\n"
    "  --metainfo ID.metainfo.xml         an AppStream metainfo file\n"
    "\n"
    "Updates, with packages: signed repositories that apt and dnf read\n"
    "{repositories}"
    "  --sign-key ID      the GnuPG key (of GNUPGHOME) that signs them\n"
    "  --update-url URL   where the repository is served; the packages subscribe\n"
    "  --keep N           versions of each package that stay (default: 3)\n"
    "\n"

    "Services, with {installed}:\n"
    "  --service          also write DIR/lib/systemd/system/NAME.service, a systemd\n"
    "                     unit that runs DIR/bin/NAME as a user of its own\n"
    "                     (DynamicUser=yes), restarted on failure, with a cache\n"
    "                     and a state directory named NAME and hardening settings;\n"
    "                     the configuration gets the line \"crashdir\", so that\n"
    "                     crash reports go to the state directory. A package\n"
    "                     installs it as /usr/lib/systemd/system/NAME.service,\n"
    "                     running /opt/NAME/bin/NAME, neither enabled nor\n"
    "                     started; removing the package stops and disables it\n"
    "  --service-user USER\n"
    "                     run as USER (User=USER), which must exist, instead\n"
    "  --service-notify   Type=notify: the application says when it is ready\n"
    "                     (com.larkwin.app.Service.ready()); else Type=exec\n"
    "  --service-low-port keep CAP_NET_BIND_SERVICE, to listen on a port below 1024\n";

// The usage with each package format's option and line in its places.
static std::string usageText() {
    std::string formats;
    std::string rows;
    std::string repositories;
    for (const packageFormat* const* format = packageFormats; *format != nullptr; format++) {
        formats += std::string(formats.empty() ? "" : " ") + "[" + (*format)->option + " DIR]";
        rows += (*format)->help;
        repositories += (*format)->repositoryHelp != nullptr ? (*format)->repositoryHelp : "";
    }
    const std::pair<const char*, std::string> places[] = {
        {"{formats}", formats},
        {"{either}", joinFormatOptions(" or ")},
        {"{rows}", rows},
        {"{repositories}", repositories},
        {"{installed}", joinFormatOptions(" or ", {"--app-image"})}};
    std::string text = usage;
    for (const auto& place : places) {
        text.replace(text.find(place.first), strlen(place.first), place.second);
    }
    return text;
}

// The larkwin executable in the directory that holds this program.
static char* createDefaultLauncher(char* programName) {
    ownedString program(createExePath(programName));
    if (program == nullptr) {
        throw createStringCopy(
            "cannot find the launcher beside larkwin-pack; name it with --launcher");
    }
    return createAbsolutePath(program.get(), const_cast<char*>("../larkwin"));
}

// Adds a line to the configuration text, on a line of its own.
static void appendLine(stringBuffer& text, const char* word, const char* argument) {
    if (text.getLength() > 0 && text.getData()[text.getLength() - 1] != '\n') {
        text.append('\n');
    }
    text.append(word);
    if (argument[0] != 0) {
        text.append(' ');
        text.append(argument);
    }
}

// The configuration to embed: the file given, or the line for the main
// class; an application directory's bundle then names its runtime.
static char* createConfiguration(packOptions& options) {
    stringBuffer text;
    if (options.mainClass != nullptr) {
        appendLine(text, "mainclass", options.mainClass);
        if (options.javaVersion != nullptr) {
            appendLine(text, "javaversion", options.javaVersion);
        }
        if (!options.noStartupCache) {
            appendLine(text, "startupcache", "");
        }
    } else {
        ownedString content(createWholeFileContent(options.config, (size_t)longestConfiguration));
        if (content == nullptr) {
            throw createStringCopy("the configuration is longer than 65535 bytes");
        }
        text.append(content.get());
    }
    // The class path does not read what java -jar reads in the first jar's
    // manifest; the configuration says it instead.
    ownedString launchLines(createLaunchLines(options.archives[0]));
    if (launchLines[0] != 0 && text.getLength() > 0 &&
        text.getData()[text.getLength() - 1] != '\n') {
        text.append('\n');
    }
    text.append(launchLines.get());
    if (options.appImage != nullptr || options.packages()) {
        appendLine(text, "javapath", applicationDirectoryJavaPath);
    }
    // A service's crash reports go to its state directory.
    if (options.service) {
        appendLine(text, "crashdir", "");
    }
    return text.createString();
}

// The one job that the command line asks for, given its request.
static void writeOutput(const packOptions& options, const char* configuration) {
    if (options.packages()) {
        writePackages(createPackageRequest(options), configuration);
    } else if (options.appImage != nullptr) {
        writeApplicationDirectory(createImageRequest(options), configuration);
    } else {
        bundleRequest request = createBundleRequest(options);
        stringArray archives;
        for (const std::string& archive : request.archives) {
            archives.append(createStringCopy(archive.c_str()));
        }
        writeBundle(&request.launcher[0], archives, request.output.c_str(), configuration,
                    request.quiet);
    }
}

// The jars that the first jars' Class-Path entries name join the list, each
// after the jar that names it; what cannot join is said.
static void expandArchives(packOptions& options) {
    stringArray expanded;
    stringArray notes;
    expandClassPath(options.archives, &expanded, &notes);
    for (int i = 0; i < notes.size() && !options.quiet; i++) {
        fprintf(stderr, "larkwin-pack: %s\n", notes[i]);
    }
    while (options.archives.size() > 0) {
        options.archives.remove(0);
    }
    for (int i = 0; i < expanded.size(); i++) {
        options.archives.append(createStringCopy(expanded[i]));
    }
}

static int pack(packOptions& options, char* programName) {
    if (options.launcher == nullptr) {
        options.launcher = createDefaultLauncher(programName);
    }
    expandArchives(options);
    ownedString configuration(createConfiguration(options));
    if ((long)strlen(configuration.get()) > longestConfiguration) {
        throw createStringCopy("the configuration is longer than 65535 bytes");
    }
    writeOutput(options, configuration.get());
    return 0;
}

// An archive with an empty comment embeds no configuration either.
static int show(char* file) {
    ownedString configuration(getZipComment(file));
    if (configuration == nullptr || configuration[0] == 0) {
        fprintf(stderr, "larkwin-pack: no configuration is embedded in '%s'\n", file);
        return exitFailure;
    }
    fputs(configuration.get(), stdout);
    if (configuration[strlen(configuration.get()) - 1] != '\n') {
        fputc('\n', stdout);
    }
    return 0;
}

static int run(packOptions& options, char* programName) {
    if (options.help) {
        fputs(usageText().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        printf("larkwin-pack %s\n", LARKWIN_VERSION);
        return 0;
    }
    if (options.show != nullptr) {
        return show(options.show);
    }
    return pack(options, programName);
}

int main(int argc, char** argv) {
    packOptions options;
    ownedString usageError(options.createUsageError(argc, argv));
    if (usageError != nullptr) {
        fprintf(stderr, "larkwin-pack: %s\nTry 'larkwin-pack --help'.\n", usageError.get());
        return exitUsage;
    }
    std::string urlProblem = options.updateUrl != nullptr ? findUrlProblem(options.updateUrl) : "";
    if (!urlProblem.empty()) {
        fprintf(stderr, "larkwin-pack: --update-url: %s\nTry 'larkwin-pack --help'.\n",
                urlProblem.c_str());
        return exitUsage;
    }
    removeRegisteredOnTermination();
    try {
        return run(options, argv[0]);
    } catch (char* message) {
        fprintf(stderr, "larkwin-pack: %s\n", message);
        delete[] message;
        return exitFailure;
    } catch (std::bad_alloc&) {
        // Unwinding to here has removed the temporary files.
        fputs("larkwin-pack: out of memory\n", stderr);
        return exitFailure;
    }
}
