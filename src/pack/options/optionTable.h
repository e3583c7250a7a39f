#ifndef LARKWIN_PACK_OPTIONS_OPTIONTABLE_H
#define LARKWIN_PACK_OPTIONS_OPTIONTABLE_H

#include "pack/options/packOptions.h"

#include <optional>
#include <string>
#include <vector>

// The jobs of larkwin-pack; a row names those that accept its option.
enum optionJob : unsigned {
    bundleJob = 1,
    imageJob = 2,
    packageJob = 4,
    showJob = 8,
    // -o with --runtime: the one file that carries its runtime. No option of
    // its own chooses it, so refusals never name it.
    oneFileJob = 16,
    installedJobs = imageJob | packageJob,
    // The jobs whose output carries a runtime and data folders.
    carriedJobs = installedJobs | oneFileJob,
    madeJobs = bundleJob | imageJob | packageJob | oneFileJob,
    anyJob = madeJobs | showJob,
};

// One option of larkwin-pack: the parser, the checks that options make of
// each other, --help and the test of larkwin-pack(1) all read it here.
struct optionRow {
    // "--app-image", and what --help calls its value ("DIR"); a switch has
    // no argument.
    const char* name = nullptr;
    const char* argument = nullptr;
    // The optionJob bits of the jobs that take it.
    unsigned jobs = 0;
    // Its slot in packOptions: exactly one is set, or format is.
    bool packOptions::*flag = nullptr;
    std::optional<std::string> packOptions::*value = nullptr;
    std::vector<std::string> packOptions::*list = nullptr;
    // A package format's option (its directory, or with repository its
    // repository's): the format's index in packageFormats; else -1.
    int format = -1;
    bool repository = false;
    // Empty when the value is fit, else the usage message; null for none.
    std::string (*check)(const char* name, const std::string& value) = nullptr;
    // The option it goes with, such as "--service"; null for none.
    const char* needs = nullptr;
    // When a job refuses it, the message "NAME needs OPTIONS" names the
    // options of the jobs that take it, or needsInstead, then adds because.
    const char* needsInstead = nullptr;
    const char* because = nullptr;
    // Whether giving it asks for its job ("-o", "--app-image", "--show" and
    // the formats' directories).
    bool choosesJob = false;
    // The heading --help prints before it, or null.
    const char* heading = nullptr;
    // Its lines of --help, after "  NAME ARGUMENT" (beside it when that
    // fits), without their indentation; "{installed}" and "{packages}" name
    // the options of those jobs; the formats whose checks require it are
    // added ("(needed by --deb)"). A format's row prints the format's own,
    // and so does a row without help whose option one format alone writes
    // (findOwnOptionHelp). "{managers}" in a heading names the formats'
    // package managers.
    const char* help = nullptr;

    optionRow checkedBy(std::string (*test)(const char*, const std::string&)) const;
    optionRow goesWith(const char* option) const;
    optionRow refusedAs(const char* instead, const char* reason) const;
    optionRow under(const char* title) const;
    optionRow choosing() const;
};

// Every option, in the order of --help (the formats' rows where their
// options are listed); the first of a name is the only one.
const std::vector<optionRow>& optionTable();

// The row named name, or null.
const optionRow* findOption(const char* name);

// The options that ask for the jobs made of files (not --show) among jobs,
// joined as a sentence joins them: "A, B or C" with lastJoin " or ".
std::string joinJobOptions(unsigned jobs, const char* lastJoin);

// Whether the command line gave the row's option.
bool isGiven(const packOptions& options, const optionRow& row);

// The text of --help: the usage, then every row's lines.
std::string createHelpText();

#endif
