// larkwin-pack: writes one self-contained executable made of the launcher and
// an application archive that carries its configuration as its comment.
#include "launcher/zipComment.h"
#include "pack/packOptions.h"
#include "pack/zipArchive.h"
#include "unix/exePath.h"
#include "unix/files.h"
#include "unix/outputFile.h"
#include "util/strings.h"

#include <cstdio>
#include <cstring>

static const int exitFailure = 1;
static const int exitUsage = 2;
// The end record stores the comment length in 16 bits.
static const long longestConfiguration = 65535;

static const char* usage =
    "Usage: larkwin-pack -o OUTPUT [--launcher PATH] (--config FILE | --main-class NAME) APP.jar\n"
    "       larkwin-pack --show FILE\n"
    "\n"
    "Writes OUTPUT, one executable file: the launcher followed by APP.jar, whose\n"
    "offsets are moved past the launcher and whose comment is the configuration.\n"
    "OUTPUT appears only when it is complete, with mode 0755.\n"
    "\n"
    "  -o OUTPUT          the file to write\n"
    "  --launcher PATH    the launcher executable (default: the larkwin beside\n"
    "                     larkwin-pack)\n"
    "  --config FILE      the configuration text to embed\n"
    "  --main-class NAME  embed the configuration \"mainclass NAME\" and\n"
    "                     \"startupcache\", which keeps the application's classes\n"
    "                     ready for its next start\n"
    "  --no-startup-cache with --main-class: leave \"startupcache\" out\n"
    "  --show FILE        print the configuration embedded in FILE exactly as the\n"
    "                     launcher reads it\n"
    "  --help             print this text\n"
    "  --version          print the version\n";

// The larkwin executable in the directory that holds this program.
static char* createDefaultLauncher(char* programName) {
    char* program = createExePath(programName);
    if (program == nullptr) {
        throw createStringCopy(
            "cannot find the launcher beside larkwin-pack; name it with --launcher");
    }
    char* launcher = createAbsolutePath(program, const_cast<char*>("../larkwin"));
    delete[] program;
    return launcher;
}

static char* createConfiguration(packOptions& options) {
    if (options.mainClass != nullptr) {
        char* line = createString("mainclass ", options.mainClass);
        if (options.noStartupCache) {
            return line;
        }
        char* configuration = createString(line, "\nstartupcache");
        delete[] line;
        return configuration;
    }
    return createWholeFileContent(options.config);
}

static void writeBundle(packOptions& options, const char* configuration) {
    zipArchive archive(options.archive);
    long launcherSize = getFileSize(options.launcher);
    outputFile out(options.output);
    out.appendFileRange(options.launcher, 0, launcherSize);
    archive.writeShifted(out, launcherSize, configuration);
    out.commit(0755);
}

static int pack(packOptions& options, char* programName) {
    if (options.launcher == nullptr) {
        options.launcher = createDefaultLauncher(programName);
    }
    char* configuration = createConfiguration(options);
    if ((long)strlen(configuration) > longestConfiguration) {
        delete[] configuration;
        throw createStringCopy("the configuration is longer than 65535 bytes");
    }
    try {
        writeBundle(options, configuration);
    } catch (char*) {
        delete[] configuration;
        throw;
    }
    delete[] configuration;
    return 0;
}

static int show(char* file) {
    char* configuration = getZipComment(file);
    if (configuration == nullptr) {
        fprintf(stderr, "larkwin-pack: no configuration is embedded in '%s'\n", file);
        return exitFailure;
    }
    fputs(configuration, stdout);
    delete[] configuration;
    return 0;
}

static int run(packOptions& options, char* programName) {
    if (options.help) {
        fputs(usage, stdout);
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
    char* usageError = options.createUsageError(argc, argv);
    if (usageError != nullptr) {
        fprintf(stderr, "larkwin-pack: %s\nTry 'larkwin-pack --help'.\n", usageError);
        delete[] usageError;
        return exitUsage;
    }
    try {
        return run(options, argv[0]);
    } catch (char* message) {
        fprintf(stderr, "larkwin-pack: %s\n", message);
        delete[] message;
        return exitFailure;
    }
}
