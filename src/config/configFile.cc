#include "config/configFile.h"

#include "config/decimal.h"
#include "config/expansion.h"
#include "config/parseChain.h"
#include "config/platformDirectives.h"
#include "unix/exePath.h"
#include "unix/files.h"
#include "unix/othersWritable.h"
#include "util/owned.h"
#include "util/strings.h"

#include <cstdio>
#include <cstring>

// Every public constructor delegates here first, so that once this one has
// run the destructor releases the name even when reading the file fails.
configFile::configFile(javaVm* vm, char* name)
    : vm(vm), fileName(name), directory(nullptr), content(nullptr), expanding(0),
      canonicalName(nullptr) {}

// Far above any real configuration, and a bound on what an endless stream
// (include /dev/zero) or a huge file can make the launcher hold.
static const size_t longestText = 64 * 1024 * 1024;

configFile::configFile(char* file, javaVm* vm) : configFile(vm, file) {
    refuseFileOthersMayChange(fileName);
    content = createWholeFileContent(fileName, longestText);
    if (content == nullptr) {
        throw createMessage("Refusing '%s': a configuration may hold at most 64 MiB", fileName);
    }
    char parent[] = "..";
    directory = createAbsolutePath(fileName, parent);
    canonicalName = createCanonicalPath(fileName);
}

configFile::configFile(char* name, javaVm* vm, char* text) : configFile(vm, name) {
    content = text;
    char parent[] = "..";
    directory = createAbsolutePath(fileName, parent);
}

configFile::~configFile() {
    delete[] fileName;
    delete[] directory;
    delete[] content;
    delete[] canonicalName;
}

static int isBlank(char c) {
    return c == ' ' || c == '\t';
}

void configFile::parse() {
    parseMark mark(canonicalName);
    char* next = content;
    while (*next != 0) {
        char* begin = next;
        char* end = begin + strcspn(begin, "\r\n");
        next = end + strspn(end, "\r\n");
        while (isBlank(*begin)) {
            begin++;
        }
        while (end > begin && isBlank(end[-1])) {
            end--;
        }
        *end = 0;
        parseLine(begin);
    }
}

static char* createResolved(configFile* file, char* argument) {
    return createAbsolutePath(file->directory, argument);
}

static void include(configFile* file, char* argument) {
    file->includeFile(createResolved(file, argument));
}

static void tryInclude(configFile* file, char* argument) {
    file->includeFileIfPresent(createResolved(file, argument));
}

static void includeDir(configFile* file, char* argument) {
    file->includeDir(argument);
}

static void addPath(configFile* file, char* argument) {
    file->vm->addPath(createResolved(file, argument));
}

static void addJars(configFile* file, char* argument) {
    file->addJars(argument, 0);
}

static void addBootPath(configFile* file, char* argument) {
    file->vm->addBootPath(createResolved(file, argument));
}

static void addBootJars(configFile* file, char* argument) {
    file->addJars(argument, 1);
}

static void addSkipPath(configFile* file, char* argument) {
    file->vm->addSkipPath(createResolved(file, argument));
}

static void vmParam(configFile* file, char* argument) {
    file->vm->addVmOption(createStringCopy(argument));
}

static void mainClass(configFile* file, char* argument) {
    file->vm->setMainClass(createStringCopy(argument));
}

static void javaPath(configFile* file, char* argument) {
    file->vm->setJavaPath(createResolved(file, argument));
}

static void copyEnv(configFile* file, char* argument) {
    file->copyEnvironment(argument);
}

static void exportEnv(configFile* file, char*) {
    file->exportEnvironment();
}

static void addParam(configFile* file, char* argument) {
    file->vm->addParam(createStringCopy(argument));
}

static void firstParam(configFile* file, char* argument) {
    file->vm->addFirstParam(createStringCopy(argument));
}

static void clearParams(configFile* file, char*) {
    file->vm->clearParams();
}

static void restartCode(configFile* file, char* argument) {
    file->vm->setRestartCode(readDecimal(argument));
}

// The option carries the argument as written, not the number read from it.
static void socketPort(configFile* file, char* argument) {
    file->vm->setSocketPort(readDecimal(argument));
    file->vm->addVmOption(createString("-Dlarkwin.socket=", argument));
}

// An argument is refused rather than ignored, so that the line keeps room
// for a meaning of its own later.
static void expand(configFile* file, char* argument) {
    if (argument[0] != 0) {
        throw createMessage("Malformed expand '%s': expand stands alone on its line", argument);
    }
    file->expanding = 1;
    if (debug) {
        printf("expand: on for the rest of '%s'\n", file->fileName);
    }
}

struct directive {
    const char* word;
    void (*apply)(configFile* file, char* argument);
};

static const directive directives[] = {
    {"include", include},         {"includedir", includeDir},   {"addpath", addPath},
    {"addjars", addJars},         {"addbootpath", addBootPath}, {"addbootjars", addBootJars},
    {"addskippath", addSkipPath}, {"vmparam", vmParam},         {"mainclass", mainClass},
    {"javapath", javaPath},       {"copyenv", copyEnv},         {"exportenv", exportEnv},
    {"addparam", addParam},       {"clearparams", clearParams}, {"restartcode", restartCode},
    {"socket", socketPort},       {"expand", expand},           {"firstparam", firstParam},
    {"tryinclude", tryInclude},
};

void configFile::parseLine(char* line) {
    if (line[0] == 0 || line[0] == '#') {
        return;
    }
    char empty[] = "";
    char* argument = empty;
    char* space = strchr(line, ' ');
    if (space != nullptr) {
        *space = 0;
        argument = space + 1;
        while (isBlank(*argument)) {
            argument++;
        }
    }
    if (!expanding) {
        applyDirective(line, argument);
        return;
    }
    ownedString expanded(createExpandedText(argument, directory));
    if (debug && strchr(argument, '$') != nullptr) {
        printf("expand: %s %s\n", line, expanded.get());
    }
    applyDirective(line, expanded.get());
}

void configFile::applyDirective(char* word, char* argument) {
    for (const directive& known : directives) {
        if (strcmp(word, known.word) == 0) {
            known.apply(this, argument);
            return;
        }
    }
    if (specialDirective(vm, this, word, argument) != 0) {
        throw createMessage("Unrecognized directive '%s'", word);
    }
}
