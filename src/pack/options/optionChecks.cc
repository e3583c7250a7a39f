#include "pack/options/optionChecks.h"

#include "pack/options/optionTable.h"
#include "pack/options/packRequests.h"
#include "pack/package/packageFields.h"
#include "pack/package/packageFormat.h"
#include "pack/package/packages.h"

#include <cstring>

// The job the command line asks for, or 0 when it names none.
static unsigned findJob(const packOptions& options) {
    return options.show.has_value()       ? (unsigned)showJob
           : options.packages()           ? packageJob
           : options.appImage.has_value() ? imageJob
           : options.oneFile()            ? oneFileJob
           : options.output.has_value()   ? bundleJob
                                          : 0u;
}

// "NAME needs ..." for an option the job does not take, naming the options
// that ask for the jobs that take it.
static std::string refusal(const optionRow& row) {
    std::string others =
        row.needsInstead != nullptr ? row.needsInstead : joinJobOptions(row.jobs, " or ");
    return std::string(row.name) + " needs " + others + (row.because != nullptr ? row.because : "");
}

// The first option given that its job or its partner refuses.
static std::string checkRows(const packOptions& options, unsigned job) {
    for (const optionRow& row : optionTable()) {
        if (!isGiven(options, row)) {
            continue;
        }
        if (row.needs != nullptr && !isGiven(options, *findOption(row.needs))) {
            return std::string(row.name) + " needs " + row.needs;
        }
        if ((row.jobs & job) == 0) {
            return job == showJob ? "--show takes no other options" : refusal(row);
        }
    }
    return "";
}

// The first value given that its row's check refuses.
static std::string checkValues(const packOptions& options) {
    for (const optionRow& row : optionTable()) {
        std::vector<std::string> values;
        if (row.check == nullptr || !isGiven(options, row)) {
            continue;
        }
        if (row.list != nullptr) {
            values = options.*row.list;
        } else {
            values.push_back(*(options.*row.value));
        }
        for (const std::string& value : values) {
            std::string problem = row.check(row.name, value);
            if (!problem.empty()) {
                return problem;
            }
        }
    }
    return "";
}

// What the job asks of every command line, before the options.
static std::string checkJob(const packOptions& options, unsigned job) {
    if (job == showJob) {
        return options.archives.empty() && !options.dashes ? "" : "--show takes no other options";
    }
    if (job == 0) {
        return "-o OUTPUT is required";
    }
    if (options.config.has_value() == options.mainClass.has_value()) {
        return "give exactly one of --config and --main-class";
    }
    if (options.archives.empty()) {
        return "no application archive given";
    }
    if (job == imageJob && options.output.has_value()) {
        return "give either -o or --app-image, not both";
    }
    if (job == packageJob && (options.output.has_value() || options.appImage.has_value())) {
        return "give " + joinJobOptions(packageJob, " and ") + " without " +
               joinJobOptions(bundleJob | imageJob, " and ");
    }
    return "";
}

// What the image's options need of each other.
static const char* checkImage(const packOptions& options) {
    bool linked = !options.runtime.has_value() || *options.runtime == "auto";
    return options.noStartupCache && !options.mainClass.has_value()
               ? "--no-startup-cache goes with --main-class only"
           : options.shortRuns && (!options.mainClass.has_value() || options.noStartupCache)
               ? "--short-runs goes with --main-class and the start-up cache only (with "
                 "--config, write \"shortruns\" into it)"
           : options.addModules.has_value() && !linked ? "--add-modules needs --runtime auto"
           : options.excludeModules.has_value() && !linked
               ? "--exclude-modules needs --runtime auto"
           : options.keepDebug && !linked     ? "--keep-debug needs --runtime auto"
           : options.dashes && !options.train ? "-- ARGS goes with --train"
           : options.train && options.noStartupCache
               ? "--train needs the start-up cache; leave out --no-startup-cache"
           : options.javaVersion.has_value() && !options.mainClass.has_value()
               ? "--java-version goes with --main-class; write javaversion in the --config file"
               : nullptr;
}

// The menu-entry options must agree with each other.
static const char* checkMenuEntry(const packOptions& options) {
    return options.menuEntry && options.noMenuEntry
               ? "give --menu-entry or --no-menu-entry, not both"
           : options.noMenuEntry && options.terminal
               ? "--terminal says how the menu entry runs; leave out --no-menu-entry"
           : options.noMenuEntry && (!options.fileTypes.empty() || !options.urlSchemes.empty())
               ? "--no-menu-entry leaves nothing to open the --file-type or --url-scheme with"
               : nullptr;
}

// The folder that every repository option names, or null; sets *one to
// false when they name several.
static const std::string* repositoryFolder(const packOptions& options, bool* one) {
    const std::string* folder = nullptr;
    *one = true;
    for (const std::optional<std::string>& directory : options.repositoryDirectories) {
        if (directory.has_value() && folder != nullptr && *directory != *folder) {
            *one = false;
        }
        folder = directory.has_value() ? &*directory : folder;
    }
    return folder;
}

static std::string checkRepositories(const packOptions& options) {
    for (size_t i = 0; packageFormats[i] != nullptr; i++) {
        if (options.repositoryDirectories[i].has_value() &&
            !options.packageDirectories[i].has_value()) {
            return std::string(packageFormats[i]->repositoryOption) + " needs " +
                   packageFormats[i]->option;
        }
    }
    bool one = true;
    bool repository = repositoryFolder(options, &one) != nullptr;
    bool url = options.updateUrl.has_value();
    bool key = options.signKey.has_value();
    const char* problem =
        repository && !url ? "a repository needs --update-url URL, where it is served"
        : url && !key      ? "--update-url needs --sign-key ID, the GnuPG key that signs the "
                             "repository"
        : key && !url      ? "--sign-key needs --update-url URL, and a repository to sign"
        : options.keep.has_value() && !repository ? "--keep needs a repository"
        : !one ? "the repositories are served at one --update-url: give them one folder"
        : key && !isOneLine(options.signKey->c_str()) ? "--sign-key takes one line of text"
        : options.nextSignKey.has_value() && (!key || !isOneLine(options.nextSignKey->c_str()))
            ? "--next-sign-key takes one line of text, with --sign-key"
            : nullptr;
    return problem != nullptr ? problem : "";
}

// What a package needs: a name, a version and a summary.
static std::string checkPackage(const packOptions& options) {
    if (!options.name.has_value() || !isPackageName(options.name->c_str())) {
        return "a package needs --name NAME: at least two lower-case letters, digits, '+', '-' "
               "or '.', beginning with a letter or digit";
    }
    if (!options.appVersion.has_value() || !isPackageVersion(options.appVersion->c_str())) {
        return "a package needs --app-version VERSION: a digit, then letters, digits, '+', '.' "
               "or '~'";
    }
    if (!options.description.has_value() || !isOneLine(options.description->c_str())) {
        return "a package needs --description TEXT, on one line";
    }
    return "";
}

std::string checkCommandLine(const packOptions& options) {
    if (options.help || options.version) {
        return "";
    }
    unsigned job = findJob(options);
    std::string problem = checkJob(options, job);
    if (problem.empty()) {
        problem = checkRows(options, job);
    }
    if (!problem.empty() || job == showJob) {
        return problem;
    }
    const char* crossed = checkImage(options);
    crossed = crossed != nullptr ? crossed : checkMenuEntry(options);
    if (crossed != nullptr) {
        return crossed;
    }
    problem = job == packageJob ? checkPackage(options) : "";
    problem = problem.empty() ? checkValues(options) : problem;
    if (problem.empty() && job == packageJob) {
        // What the formats ask for.
        problem = checkPackageFormats(createPackageRequest(options));
        problem = problem.empty() ? checkRepositories(options) : problem;
    }
    return problem;
}
