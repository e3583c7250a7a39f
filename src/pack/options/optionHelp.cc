#include "pack/base/failure.h"
#include "pack/options/optionTable.h"
#include "pack/package/packageFormat.h"

#include <cstring>

// The forms of the command line, and what a bundle is made of; each row's
// lines follow (optionTable.cc). The formats' options take "{formats}".
static const char* usage =
    "Usage: larkwin-pack -o OUTPUT [--launcher PATH] (--config FILE | --main-class NAME) APP.jar\n"
    "                    [DEPENDENCY.jar...] [--java-version N]\n"
    "                    [--no-startup-cache | --short-runs] [--quiet]\n"
    "       larkwin-pack --app-image DIR [--name NAME] [--runtime auto|HOME]\n"
    "                    [--add-modules MODULE,...] [--exclude-modules MODULE,...]\n"
    "                    [--keep-debug] [--launcher PATH]\n"
    "                    (--config FILE | --main-class NAME) APP.jar [DEPENDENCY.jar...]\n"
    "                    [--app-content SRC[=DEST]...]\n"
    "                    [--java-version N] [--no-startup-cache | --short-runs] [--quiet]\n"
    "                    [--service [--service-user USER] [--service-notify]\n"
    "                    [--service-low-port]] [--train -- [ARGS...]]\n"
    "       larkwin-pack {formats} --name NAME --app-version VERSION\n"
    "                    --description TEXT [PACKAGE OPTIONS] [APP IMAGE OPTIONS]\n"
    "                    (--config FILE | --main-class NAME) APP.jar [DEPENDENCY.jar...]\n"
    "       larkwin-pack -o OUTPUT --runtime auto|HOME [APP IMAGE OPTIONS]\n"
    "                    (--config FILE | --main-class NAME) APP.jar [DEPENDENCY.jar...]\n"
    "                    (one file with its runtime, unpacked once into\n"
    "                    ~/.cache/larkwin/unpacked)\n"
    "       larkwin-pack --show FILE\n"
    "\n"
    "Writes OUTPUT, one executable file: the launcher followed by APP.jar, whose\n"
    "offsets are moved past the launcher and whose comment is the configuration.\n"
    "OUTPUT appears only when it is complete, with mode 0755.\n"
    "\n"
    "The jars that manifests' Class-Path entries name within the naming jar's\n"
    "folder join the list (what leads out or names no file is reported); a jar\n"
    "only its owner may read is refused; the first jar's Add-Opens, Add-Exports\n"
    "and Enable-Native-Access become addopens, addexports and vmparam lines of\n"
    "the configuration (the launcher passes over the packages that the runtime\n"
    "lacks, as java -jar does).\n"
    "With dependencies, the archive appended is merged from all the jars, in the\n"
    "order given: the first entry of a name wins, and each duplicate file left\n"
    "out is named on standard error; META-INF/services files and the like are\n"
    "joined, Groovy's extension modules and Spring's registries merged key by\n"
    "key, dependencies' licences and notices kept as META-INF/licenses/JAR/NAME,\n"
    "Multi-Release kept; the dependencies' manifests, signature files and\n"
    "module-info.class are left out, and the first jar's signature when the\n"
    "merge changes what it signs. Entries are copied as they are stored; what\n"
    "cannot be merged faithfully is refused (see larkwin-pack(1)).\n"
    "\n";

// Where a row's text begins on its lines.
static const size_t helpColumn = 21;

static void replaceAll(std::string& text, const char* place, const std::string& by) {
    for (size_t at = text.find(place); at != std::string::npos; at = text.find(place, at)) {
        text.replace(at, strlen(place), by);
        at += by.size();
    }
}

static std::string withNames(std::string text) {
    std::string formats;
    for (const packageFormat* const* format = packageFormats; *format != nullptr; format++) {
        formats += std::string(formats.empty() ? "" : " ") + "[" + (*format)->option + " DIR]";
    }
    replaceAll(text, "{formats}", formats);
    replaceAll(text, "{managers}", joinWords(listPackageManagers(), " and "));
    replaceAll(text, "{packages}", joinJobOptions(packageJob, " or "));
    replaceAll(text, "{installed}", joinJobOptions(installedJobs, " or "));
    return text;
}

// " (needed by --deb)": the formats whose checks require the option.
static std::string neededBy(const char* name) {
    std::string formats;
    for (const packageFormat* const* format = packageFormats; *format != nullptr; format++) {
        for (const char* const* needed = (*format)->neededOptions; needed && *needed; needed++) {
            if (strcmp(*needed, name) == 0) {
                formats += std::string(formats.empty() ? "" : ", ") + (*format)->option;
            }
        }
    }
    return formats.empty() ? "" : " (needed by " + formats + ")";
}

// "  NAME ARGUMENT" and the row's lines, each after the column.
static std::string rowLines(const optionRow& row) {
    if (row.format >= 0) {
        const packageFormat* format = packageFormats[row.format];
        return row.repository ? format->repositoryHelp : format->help;
    }
    std::string lines = std::string("  ") + row.name;
    if (row.argument != nullptr) {
        lines += std::string(" ") + row.argument;
    }
    lines += lines.size() < helpColumn ? std::string(helpColumn - lines.size(), ' ')
                                       : "\n" + std::string(helpColumn, ' ');
    std::string text =
        (row.help != nullptr ? row.help : findOwnOptionHelp(row.name)) + neededBy(row.name);
    replaceAll(text, "\n", "\n" + std::string(helpColumn, ' '));
    return lines + text + "\n";
}

std::string createHelpText() {
    std::string text = usage;
    for (const optionRow& row : optionTable()) {
        if (row.heading != nullptr) {
            text += std::string("\n") + row.heading + "\n";
        }
        text += rowLines(row);
    }
    return withNames(text);
}
