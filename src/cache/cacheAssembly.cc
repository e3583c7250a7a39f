#include "cache/cacheAssembly.h"

#include "cache/cacheEviction.h"
#include "cache/cacheRecord.h"
#include "cache/cacheReport.h"
#include "cache/loaderClasses.h"
#include "unix/exePath.h"
#include "util/owned.h"
#include "util/strings.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

// Smaller than any archive: the header alone takes a page.
static const long smallestArchive = 4096;

long long countListedClasses(const char* classList) {
    FILE* file = fopen(classList, "re");
    if (file == nullptr) {
        return 0;
    }
    long long lines = 0;
    for (int c = getc(file); c != EOF; c = getc(file)) {
        lines += c == '\n';
    }
    fclose(file);
    return lines;
}

int listsClass(const char* classList, const char* name) {
    FILE* list = fopen(classList, "re");
    if (list == nullptr) {
        return 0;
    }
    size_t length = strlen(name);
    char line[1024];
    int found = 0;
    while (!found && fgets(line, sizeof line, list) != nullptr) {
        found = strncmp(line, name, length) == 0 &&
                (line[length] == '\n' || line[length] == ' ' || line[length] == 0);
    }
    fclose(list);
    return found;
}

// The launcher's handlers pass stop signals on to its child, which is gone.
static void restoreSignals() {
    const int stops[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGPIPE};
    for (int stop : stops) {
        signal(stop, SIG_DFL);
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
}

static void detachStreams() {
    int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        if (null > 2) {
            close(null);
        }
    }
}

// What the archive is made from goes once the assembly is done or left.
static void removeInputs(const assemblyOrder& order) {
    removeClassList(order.classList, order.loadLog);
    if (order.profile != nullptr) {
        unlink(order.profile);
    }
}

// Every user of the image may map it; no one but its owner may change it.
static void publishArchive(const assemblyOrder& order) {
    unlink(order.lockPath);
    chmod(order.archive, 0444);
    chmod(order.recordPath, 0644);
}

// The lock stays with the open file that the assembling process inherits,
// so it is held until that process ends, whoever else closes the file.
void cacheAssembly::start() {
    int lock = open(order.lockPath, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (lock < 0 || flock(lock, LOCK_EX | LOCK_NB) != 0) {
        reportStartupCache("not assembled: another start assembles '%s'", order.archive);
        removeInputs(order);
        if (lock >= 0) {
            close(lock);
        }
        return;
    }
    reportStartupCache(order.wait ? "assembling '%s'" : "assembling '%s' after the launcher",
                       order.archive);
    fflush(stdout);
    fflush(stderr);
    if (order.wait) {
        assemble();
        close(lock);
        if (order.publish) {
            publishArchive(order);
        }
        return;
    }
    pid_t middle = fork();
    if (middle == 0) {
        setsid();
        if (fork() == 0) {
            restoreSignals();
            detachStreams();
            setpriority(PRIO_PROCESS, 0, 19);
            assemble();
        }
        _exit(0);
    }
    if (middle < 0) {
        removeInputs(order);
    } else {
        while (waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    close(lock);
}

// Runs the command with nothing on the terminal: its standard streams are
// /dev/null. 1 when it exited with status 0.
static int runQuietly(char** command) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t child;
    int failed = posix_spawn(&child, command[0], &actions, nullptr, command, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        return 0;
    }
    int status;
    while (waitpid(child, &status, 0) != child) {
        if (errno != EINTR) {
            return 0;
        }
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The launch's java with the options added after its own.
int cacheAssembly::runDump(const stringArray& added) {
    const stringArray& dumpCommand = *order.dumpCommand;
    ownedArray<char*> command(new char*[dumpCommand.size() + added.size() + 1]);
    int used = 0;
    for (int i = 0; i < dumpCommand.size(); i++) {
        command[used++] = dumpCommand[i];
    }
    for (int i = 0; i < added.size(); i++) {
        command[used++] = added[i];
    }
    command[used] = nullptr;
    return runQuietly(command.get());
}

int cacheAssembly::dumpArchive(const char* trainee, const char* classList) {
    stringArray added;
    added.append(createStringCopy("-Xshare:dump"));
    added.append(createString("-XX:SharedClassListFile=", classList));
    added.append(createString("-XX:SharedArchiveFile=", trainee));
    if (order.mechanism == linkedStaticArchive) {
        added.append(createStringCopy("-XX:+AOTClassLinking"));
    }
    return runDump(added);
}

// Written by the JVM, of the user, and begun by the header that the JVM
// writes after everything else.
static int isComplete(const char* trainee) {
    int fd = open(trainee, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    struct stat status;
    unsigned char magic[4];
    int complete = fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
                   status.st_uid == geteuid() && status.st_size >= smallestArchive &&
                   read(fd, magic, sizeof magic) == (ssize_t)sizeof magic &&
                   memcmp(magic, getArchiveMagic(), sizeof magic) == 0;
    close(fd);
    return complete;
}

// The record goes first: a start that sees the archive before the record
// has its new change time checks the checksum once and notes that time.
int cacheAssembly::putInPlace(const char* trainee) {
    int ok;
    cacheRecord record;
    record.checksum = computeFileChecksum(trainee, &ok);
    chmod(trainee, 0400);
    record.takeFileState(trainee);
    record.set(record.executable, HACKexePath);
    record.set(record.mainClass, order.mainClass);
    record.set(record.runtimeHome, order.runtimeHome);
    record.set(record.runtimeVersion, order.runtimeVersion);
    record.classes = order.classList != nullptr ? countListedClasses(order.classList) : 0;
    record.remakes = order.remakes;
    if (!ok || !record.write(order.recordPath) || rename(trainee, order.archive) != 0) {
        return 0;
    }
    // Some file systems give a renamed file a new change time; noting it
    // spares the next start the checksum.
    record.takeFileState(order.archive);
    record.write(order.recordPath);
    return 1;
}

// The classes of the application's own loaders go in where the log names
// them, those the run mapped with the jars of loaders, the list that the
// archive in place was made from. 1 when the archive was made from merged.
int cacheAssembly::dumpWithLoaderClasses(const char* trainee, const char* merged,
                                         const char* loaders) {
    if (order.loadLog == nullptr) {
        return 0;
    }
    int added = writeListWithLoaderClasses(order.classList, order.loadLog, loaders, merged);
    char count[24];
    snprintf(count, sizeof count, "%d", added);
    reportStartupCache("classes of other class loaders added to the list: %s", count);
    int dumped = added > 0 && dumpArchive(trainee, merged) && isComplete(trainee);
    if (added > 0 && !dumped) {
        reportStartupCache("made again without them: '%s'", order.archive);
    }
    return dumped;
}

// The merged list stays beside the archive made from it, for the next
// assembly of the same key; an image ships none.
void cacheAssembly::keepLoaderList(const char* merged, const char* loaders, int keep) {
    if (!keep || order.publish || rename(merged, loaders) != 0) {
        unlink(merged);
        unlink(loaders);
    }
}

int cacheAssembly::assembleFromList(const char* trainee) {
    ownedString merged(createString(order.classList, ".merged"));
    ownedString loaders(createLoaderListPath(order.archive));
    int withLoaders = dumpWithLoaderClasses(trainee, merged.get(), loaders.get());
    int placed = (withLoaders || dumpArchive(trainee, order.classList)) && isComplete(trainee) &&
                 putInPlace(trainee);
    keepLoaderList(merged.get(), loaders.get(), placed && withLoaders);
    return placed;
}

// The JVM reads the configuration and writes the cache in one run of no
// application code; the cache begins as a static archive does.
int cacheAssembly::assembleFromProfile(const char* trainee) {
    stringArray added;
    added.append(createStringCopy("-XX:AOTMode=create"));
    added.append(createString("-XX:AOTConfiguration=", order.profile));
    added.append(createString("-XX:AOTCache=", trainee));
    return runDump(added) && isComplete(trainee) && putInPlace(trainee);
}

void cacheAssembly::assemble() {
    ownedString trainee(createString(order.archive, ".XXXXXX.tmp"));
    int fd = mkstemps(trainee.get(), (int)strlen(".tmp"));
    if (fd >= 0) {
        close(fd);
        int placed = order.profile != nullptr ? assembleFromProfile(trainee.get())
                                              : assembleFromList(trainee.get());
        if (placed) {
            reportStartupCache("assembled '%s'", order.archive);
        } else {
            unlink(trainee.get());
            unlink(order.recordPath);
            reportStartupCache("assembly left no complete archive for '%s'", order.archive);
        }
    }
    removeInputs(order);
    if (order.evictedDirectory != nullptr) {
        evictArchives(order.evictedDirectory, getCacheSizeLimit());
    }
}
