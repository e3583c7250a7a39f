#include "pack/options/optionTable.h"

#include "pack/options/optionValues.h"
#include "pack/package/packageFormat.h"

#include <cstring>

namespace {
optionRow flagOption(const char* name, unsigned jobs, bool packOptions::*slot, const char* help) {
    optionRow row;
    row.name = name;
    row.jobs = jobs;
    row.flag = slot;
    row.help = help;
    return row;
}

optionRow valueOption(const char* name, const char* argument, unsigned jobs,
                      std::optional<std::string> packOptions::*slot, const char* help) {
    optionRow row;
    row.name = name;
    row.argument = argument;
    row.jobs = jobs;
    row.value = slot;
    row.help = help;
    return row;
}

optionRow listOption(const char* name, const char* argument, unsigned jobs,
                     std::vector<std::string> packOptions::*slot, const char* help) {
    optionRow row;
    row.name = name;
    row.argument = argument;
    row.jobs = jobs;
    row.list = slot;
    row.help = help;
    return row;
}
} // namespace

optionRow optionRow::checkedBy(std::string (*test)(const char*, const std::string&)) const {
    optionRow row = *this;
    row.check = test;
    return row;
}

optionRow optionRow::goesWith(const char* option) const {
    optionRow row = *this;
    row.needs = option;
    return row;
}

optionRow optionRow::refusedAs(const char* instead, const char* reason) const {
    optionRow row = *this;
    row.needsInstead = instead;
    row.because = reason;
    return row;
}

optionRow optionRow::under(const char* title) const {
    optionRow row = *this;
    row.heading = title;
    return row;
}

optionRow optionRow::choosing() const {
    optionRow row = *this;
    row.choosesJob = true;
    return row;
}

using o = packOptions;

// The options, in the order of --help. The formats' rows come after
// --name's and --keep's neighbours (optionTable() puts them in).
static const optionRow rows[] = {
    valueOption("-o", "OUTPUT", bundleJob | oneFileJob, &o::output, "the file to write").choosing(),
    valueOption("--launcher", "PATH", madeJobs, &o::launcher,
                "the launcher executable (default: the larkwin beside\n"
                "larkwin-pack)"),
    valueOption("--config", "FILE", madeJobs, &o::config, "the configuration text to embed"),
    valueOption("--main-class", "NAME", madeJobs, &o::mainClass,
                "embed the configuration \"mainclass NAME\" and\n"
                "\"startupcache\", which keeps the application's classes\n"
                "ready for its next start")
        .checkedBy(checkMainClass),
    flagOption("--no-startup-cache", madeJobs, &o::noStartupCache,
               "with --main-class: leave \"startupcache\" out"),
    flagOption("--short-runs", madeJobs, &o::shortRuns,
               "with --main-class, add \"shortruns\": each start measures\n"
               "whether C1 alone starts it cheaper, and keeps what does"),
    valueOption("--java-version", "N", madeJobs, &o::javaVersion,
                "with --main-class, add the line \"javaversion N\": the\n"
                "application needs Java N or later (N-M: N to M)")
        .checkedBy(checkJavaVersion),
    flagOption("--quiet", madeJobs, &o::quiet,
               "do not name the duplicates left out, nor print an app\n"
               "image's modules and size"),
    valueOption("--show", "FILE", showJob, &o::show,
                "print the configuration embedded in FILE exactly as the\n"
                "launcher reads it (with a line end after its last line);\n"
                "status 1 when FILE embeds none")
        .choosing(),
    flagOption("--help", anyJob, &o::help, "print this text"),
    flagOption("--version", anyJob, &o::version, "print the version"),

    valueOption("--app-image", "DIR", imageJob, &o::appImage,
                "write the directory DIR instead of OUTPUT: DIR/lib holds the\n"
                "jars as they are, DIR/bin/NAME the launcher, DIR/runtime\n"
                "the Java runtime; the embedded configuration names the jars\n"
                "(\"addpath ../lib/JAR\") and ends with the line\n"
                "\"javapath ../runtime/bin/java\", which the launcher resolves\n"
                "against its own directory, so DIR can be moved. DIR must not\n"
                "exist (its parents are made); it is made beside itself under\n"
                "a temporary name and appears only when complete. Its size\n"
                "is reported.")
        .choosing()
        .under("App images, which run where no Java is installed:"),
    valueOption("--name", "NAME", carriedJobs, &o::name,
                "the bundle's name in DIR/bin (default: DIR's last part);\n"
                "a package's name and command (lower-case letters, digits,\n"
                "+-.)")
        .checkedBy(checkFileName)
        .refusedAs("--app-image", nullptr),
    valueOption("--runtime", "auto|HOME", carriedJobs, &o::runtime,
                "auto (the default): link a runtime with the jlink of the\n"
                "JDK that JAVA_HOME names or, when JAVA_HOME is unset or\n"
                "empty, of the JDK whose java is found on the PATH (links\n"
                "resolved), with the modules that its \"jdeps\n"
                "--print-module-deps --ignore-missing-deps\" finds in the\n"
                "jars and those reached through services or reflection (see\n"
                "larkwin-pack(1)), without debug data, man pages and headers;\n"
                "then make its base class-data archive\n"
                "(lib/server/classes.jsa) with \"java -Xshare:dump\".\n"
                "With --runtime HOME: copy the runtime whose home is HOME\n"
                "(modes, times and links kept; links that lead outside HOME\n"
                "are copied as what they point to)")
        .refusedAs("--app-image", nullptr),
    flagOption("--keep-debug", carriedJobs, &o::keepDebug,
               "with --runtime auto: keep the JDK's debug data")
        .refusedAs("--app-image", nullptr),
    listOption("--app-content", "SRC[=DEST]", carriedJobs, &o::appContents,
               "copy the file or folder SRC into DIR as DEST (a path\n"
               "under DIR, outside bin, lib and runtime; default:\n"
               "share/NAME/ and SRC's last part), with modes, times and\n"
               "links; a link that leads out of SRC is refused. A\n"
               "configuration names it with ${app.dir}, after expand:\n"
               "\"vmparam -Dapp.data=${app.dir}/share/NAME/data\"\n"
               "(repeatable; a bundle, one file, refuses it)")
        .checkedBy(checkAppContent)
        .refusedAs(nullptr, ": a bundle is one file, with no folder to hold it"),
    valueOption("--add-modules", "MODULE,...", carriedJobs, &o::addModules,
                "modules to link beyond those jdeps finds (with\n"
                "--runtime auto), such as those only reached by\n"
                "reflection or as services, which jdeps cannot see")
        .refusedAs("--app-image", nullptr),
    valueOption("--exclude-modules", "MODULE,...", carriedJobs, &o::excludeModules,
                "modules to leave out of the runtime (with --runtime\n"
                "auto) whatever found or named them, as java.desktop\n"
                "for a headless tool; a warning names each that a\n"
                "class in the jars still refers to")
        .checkedBy(checkExcludedModules)
        .refusedAs("--app-image", nullptr),
    flagOption("--train", carriedJobs, &o::train,
               "once the image is made, run DIR/bin/NAME ARGS (after\n"
               "\"--\"; input /dev/null, output on standard error, at most\n"
               "600 seconds) so that its start-up cache makes the archive\n"
               "that DIR ships in DIR/lib/startupcache (on Java 25 or\n"
               "later trained with the method profiles and without, and\n"
               "the one whose starts cost less CPU time shipped):\n"
               "even the first start of each user maps it when it\n"
               "matches (same runtime, VM options and VM shape; moved\n"
               "with DIR on JDK 25, not on JDK 17). Unless the run ends\n"
               "with status 0 and leaves an archive, DIR is removed and\n"
               "larkwin-pack fails. With {packages}: the package's\n"
               "image, in its staging directory, on Java 25 or later\n"
               "only (an older runtime's archive would not map where\n"
               "the package installs it). With -o OUTPUT: the archive\n"
               "ships in OUTPUT's data, its jars become a part of their\n"
               "own, and every copy of OUTPUT maps it, on Java 25 or\n"
               "later only"),

    valueOption("--app-version", "V", packageJob, &o::appVersion,
                "the version: a digit, then letters, digits, '+', '.', '~'")
        .under("Packages, which install the app image under /opt/NAME with the command\n"
               "/usr/bin/NAME, a menu entry, icons, file types and URL schemes, and read\n"
               "/etc/NAME/NAME.config and ~/.config/NAME/NAME.config for settings\n"
               "(--name NAME names the package and the command):"),
    valueOption("--description", "TEXT", packageJob, &o::description,
                "one line: the summary and the menu entry's comment"),
    valueOption("--long-description", "TEXT", packageJob, &o::longDescription,
                "the longer description")
        .checkedBy(checkOneLine),
    valueOption("--maintainer", "'NAME <EMAIL>'", packageJob, &o::maintainer,
                "who maintains the package")
        .checkedBy(checkOneLine),
    // The format that alone writes it says what it is (its ownOptions).
    valueOption("--vendor", "TEXT", packageJob, &o::vendor, nullptr).checkedBy(checkOneLine),
    valueOption("--homepage", "URL", packageJob, &o::homepage, "the application's home page")
        .checkedBy(checkOneLine),
    valueOption("--license-file", "FILE", packageJob, &o::licenseFile,
                "installed as the copyright file"),
    valueOption("--license", "NAME", packageJob, &o::license, nullptr).checkedBy(checkOneLine),
    valueOption("--icon", "FILE", packageJob, &o::icon,
                "an .svg or a square .png, made into the usual sizes")
        .checkedBy(checkIcon),
    valueOption("--wm-class", "CLASS", packageJob, &o::wmClass,
                "the menu entry's StartupWMClass (default: the main class\n"
                "with '.' turned into '-', as Java names its windows)")
        .checkedBy(checkOneLine),
    valueOption("--categories", "LIST", packageJob, &o::categories,
                "the menu entry's categories (default: Utility)")
        .checkedBy(checkOneLine),
    flagOption("--menu-entry", packageJob, &o::menuEntry,
               "a menu entry even without --icon, --wm-class,\n"
               "--categories, --file-type, --url-scheme or --terminal\n"
               "(without any of them a package has none: a command-line\n"
               "tool or a service does nothing visible from a menu)"),
    flagOption("--no-menu-entry", packageJob, &o::noMenuEntry,
               "no menu entry, whatever else is given"),
    flagOption("--terminal", packageJob, &o::terminal,
               "the menu entry runs it in a terminal (Terminal=true)"),
    listOption("--file-type", "EXT,MIME,DESCRIPTION", packageJob, &o::fileTypes,
               "a file type it opens (repeatable)")
        .checkedBy(checkFileType),
    listOption("--url-scheme", "SCHEME", packageJob, &o::urlSchemes,
               "a URL scheme it opens (repeatable)")
        .checkedBy(checkUrlScheme),
    valueOption("--metainfo", "ID.metainfo.xml", packageJob, &o::metainfo,
                "an AppStream metainfo file")
        .checkedBy(checkMetainfo),

    valueOption("--sign-key", "ID", packageJob, &o::signKey,
                "the GnuPG key (of GNUPGHOME) that signs them")
        .under("Updates, with packages: signed repositories that {managers} read"),
    valueOption("--update-url", "URL", packageJob, &o::updateUrl,
                "where the repository is served; the packages subscribe"),
    valueOption("--keep", "N", packageJob, &o::keep,
                "versions of each package that stay (default: 3)")
        .checkedBy(checkKeep),
    valueOption("--next-sign-key", "ID", packageJob, &o::nextSignKey,
                "also sign with ID, and ship its key: a change of keys")
        .goesWith("--sign-key"),

    flagOption("--service", installedJobs, &o::service,
               "also write DIR/lib/systemd/system/NAME.service, a systemd\n"
               "unit that runs DIR/bin/NAME as a user of its own\n"
               "(DynamicUser=yes), restarted on failure, with a cache\n"
               "and a state directory named NAME and hardening settings;\n"
               "the configuration gets the line \"crashdir\", so that\n"
               "crash reports go to the state directory. A package\n"
               "installs it as /usr/lib/systemd/system/NAME.service,\n"
               "running /opt/NAME/bin/NAME, neither enabled nor\n"
               "started; removing the package stops and disables it")
        .under("Services, with {installed}:"),
    valueOption("--service-user", "USER", installedJobs, &o::serviceUser,
                "run as USER (User=USER), which must exist, instead")
        .goesWith("--service"),
    flagOption("--service-notify", installedJobs, &o::serviceNotify,
               "Type=notify: the application says when it is ready\n"
               "(com.larkwin.app.Service.ready()); else Type=exec")
        .goesWith("--service"),
    flagOption("--service-low-port", installedJobs, &o::serviceLowPort,
               "keep CAP_NET_BIND_SERVICE, to listen on a port below 1024")
        .goesWith("--service"),
};

// A format's option as a row: its help is the format's own.
static optionRow formatRow(size_t index, bool repository) {
    optionRow row;
    const packageFormat* format = packageFormats[index];
    row.name = repository ? format->repositoryOption : format->option;
    row.argument = repository ? "REPO" : "DIR";
    row.jobs = packageJob;
    row.format = (int)index;
    row.repository = repository;
    row.choosesJob = !repository;
    return row;
}

static std::vector<optionRow> createTable() {
    std::vector<optionRow> table;
    for (const optionRow& row : rows) {
        if (row.value == &o::appVersion || row.value == &o::signKey) {
            // The formats' rows open their sections, under the heading.
            const char* heading = row.heading;
            for (size_t i = 0; packageFormats[i] != nullptr; i++) {
                if (row.value == &o::signKey && packageFormats[i]->repositoryOption == nullptr) {
                    continue;
                }
                table.push_back(formatRow(i, row.value == &o::signKey));
                table.back().heading = heading;
                heading = nullptr;
            }
            table.push_back(row);
            table.back().heading = nullptr;
            continue;
        }
        table.push_back(row);
    }
    return table;
}

const std::vector<optionRow>& optionTable() {
    static const std::vector<optionRow> table = createTable();
    return table;
}

const optionRow* findOption(const char* name) {
    for (const optionRow& row : optionTable()) {
        if (strcmp(row.name, name) == 0) {
            return &row;
        }
    }
    return nullptr;
}

bool isGiven(const packOptions& options, const optionRow& row) {
    if (row.format >= 0) {
        return (row.repository ? options.repositoryDirectories
                               : options.packageDirectories)[row.format]
            .has_value();
    }
    return row.flag != nullptr    ? options.*row.flag
           : row.value != nullptr ? (options.*row.value).has_value()
                                  : !(options.*row.list).empty();
}

std::string joinJobOptions(unsigned jobs, const char* lastJoin) {
    std::vector<const char*> names;
    for (const optionRow& row : optionTable()) {
        if (row.choosesJob && (row.jobs & jobs & madeJobs & ~oneFileJob) != 0) {
            names.push_back(row.name);
        }
    }
    std::string joined;
    for (size_t i = 0; i < names.size(); i++) {
        joined += std::string(i == 0 ? "" : i + 1 == names.size() ? lastJoin : ", ") + names[i];
    }
    return joined;
}
