// larkwin-pack: writes one self-contained executable made of the launcher and
// an application archive that carries its configuration as its comment.
#include "launcher/zipComment.h"
#include "pack/base/reasonedFiles.h"
#include "pack/image/applicationDirectory.h"
#include "pack/onefile/oneFile.h"
#include "pack/options/optionChecks.h"
#include "pack/options/optionParser.h"
#include "pack/options/optionTable.h"
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

static const int exitFailure = 1;
static const int exitUsage = 2;
// The end record stores the comment length in 16 bits.
static const long longestConfiguration = 65535;

// The larkwin executable in the directory that holds this program.
static std::string findDefaultLauncher(char* programName) {
    ownedString program(createExePath(programName));
    if (program == nullptr) {
        throw createStringCopy(
            "cannot find the launcher beside larkwin-pack; name it with --launcher");
    }
    ownedString launcher(createAbsolutePath(program.get(), const_cast<char*>("../larkwin")));
    return launcher.get();
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
    if (options.mainClass.has_value()) {
        appendLine(text, "mainclass", options.mainClass->c_str());
        if (options.javaVersion.has_value()) {
            appendLine(text, "javaversion", options.javaVersion->c_str());
        }
        if (!options.noStartupCache) {
            appendLine(text, "startupcache", "");
        }
        if (options.shortRuns) {
            appendLine(text, "shortruns", "");
        }
    } else {
        ownedString content(
            packCreateWholeFileContent(&(*options.config)[0], (size_t)longestConfiguration));
        if (content == nullptr) {
            throw createStringCopy("the configuration is longer than 65535 bytes");
        }
        text.append(content.get());
    }
    // The class path does not read what java -jar reads in the first jar's
    // manifest; the configuration says it instead.
    ownedString launchLines(createLaunchLines(options.archives[0].c_str()));
    if (launchLines[0] != 0 && text.getLength() > 0 &&
        text.getData()[text.getLength() - 1] != '\n') {
        text.append('\n');
    }
    text.append(launchLines.get());
    if (options.appImage.has_value() || options.packages()) {
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
    } else if (options.appImage.has_value()) {
        writeApplicationDirectory(createImageRequest(options), configuration);
    } else if (options.oneFile()) {
        writeOneFile(createOneFileRequest(options), configuration);
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
    stringArray archives;
    for (const std::string& archive : options.archives) {
        archives.append(createStringCopy(archive.c_str()));
    }
    stringArray expanded;
    stringArray notes;
    expandClassPath(archives, &expanded, &notes);
    for (int i = 0; i < notes.size() && !options.quiet; i++) {
        fprintf(stderr, "larkwin-pack: %s\n", notes[i]);
    }
    options.archives.clear();
    for (int i = 0; i < expanded.size(); i++) {
        options.archives.push_back(expanded[i]);
    }
}

static int pack(packOptions& options, char* programName) {
    if (!options.launcher.has_value()) {
        options.launcher = findDefaultLauncher(programName);
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
        fputs(createHelpText().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        printf("larkwin-pack %s\n", LARKWIN_VERSION);
        return 0;
    }
    if (options.show.has_value()) {
        return show(&(*options.show)[0]);
    }
    return pack(options, programName);
}

int main(int argc, char** argv) {
    packOptions options;
    std::string usageError = parseCommandLine(argc, argv, &options);
    if (usageError.empty()) {
        usageError = checkCommandLine(options);
    }
    if (!usageError.empty()) {
        fprintf(stderr, "larkwin-pack: %s\nTry 'larkwin-pack --help'.\n", usageError.c_str());
        return exitUsage;
    }
    std::string urlProblem = options.updateUrl.has_value()
                                 ? findUrlProblem(*options.updateUrl, listPackageManagers())
                                 : "";
    if (!urlProblem.empty()) {
        fprintf(stderr, "larkwin-pack: --update-url: %s\nTry 'larkwin-pack --help'.\n",
                urlProblem.c_str());
        return exitUsage;
    }
    removeRegisteredOnTermination();
    try {
        return run(options, argv[0]);
    } catch (char* message) {
        ownedString owned(message);
        fprintf(stderr, "larkwin-pack: %s\n", owned.get());
        return exitFailure;
    } catch (std::bad_alloc&) {
        // Unwinding to here has removed the temporary files.
        fputs("larkwin-pack: out of memory\n", stderr);
        return exitFailure;
    }
}
