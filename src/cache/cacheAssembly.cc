// The end of a launch: an archive that a JVM crashed on goes, and a class
// list that a recording run wrote is dumped into an archive by a java of
// its own, detached from the launcher, at low priority, one per key at a
// time (a lock on "<archive>.lock" says which), under a temporary name
// that is renamed into place with its record once it is complete.

#include "cache/cacheEviction.h"
#include "cache/cacheRecord.h"
#include "cache/shippedArchive.h"
#include "cache/startupCache.h"
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
#include <time.h>
#include <unistd.h>

extern char** environ;

// Smaller than any archive: the header alone takes a page.
static const long smallestArchive = 4096;
// A crash this soon after the start is taken for one in the JVM's start-up.
static const long long startUpSeconds = 30;

static int isCrash(int status) {
    const int crashes[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGSYS, SIGTRAP};
    for (int crash : crashes) {
        if (status == 128 + crash) {
            return 1;
        }
    }
    return 0;
}

void startupCache::finish(int status) {
    if (mapping && isCrash(status) && getMonotonicSeconds() - startedAt <= startUpSeconds) {
        if (shipped) {
            reportStartupCache("no longer using the image's '%s': the JVM that mapped it crashed",
                               archive);
            refuseShippedArchive(archive, seenPath);
        } else {
            reportStartupCache("removed '%s': the JVM that mapped it crashed", archive);
            removeArchive();
        }
    }
    if (relisting) {
        relisting = 0;
        if (!isCrash(status) && isClearlyLarger()) {
            remakes++;
            startAssembly();
        } else {
            unlink(classList);
        }
        return;
    }
    if (!recording) {
        return;
    }
    recording = 0;
    if (listsMainClass()) {
        startAssembly();
        return;
    }
    unlink(classList);
    reportStartupCache("no archive for '%s': the run did not load its main class", archive);
}

static long long countLines(const char* path) {
    FILE* file = fopen(path, "re");
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

// A quarter more classes than the archive was made from, and a hundred at
// least: not just another path through the same start.
int startupCache::isClearlyLarger() const {
    long long listed = countLines(classList);
    return listed >= archivedClasses + archivedClasses / 4 + 100 && listsMainClass();
}

// The class list names classes with slashes, one a line, the name first.
int startupCache::listsMainClass() const {
    FILE* list = fopen(classList, "re");
    if (list == nullptr) {
        return 0;
    }
    size_t length = strlen(mainClass);
    char line[1024];
    int found = 0;
    while (!found && fgets(line, sizeof line, list) != nullptr) {
        found = strncmp(line, mainClass, length) == 0 &&
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

// The lock stays with the open file that the assembling process inherits,
// so it is held until that process ends, whoever else closes the file.
void startupCache::startAssembly() {
    int lock = open(lockPath, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (lock < 0 || flock(lock, LOCK_EX | LOCK_NB) != 0) {
        reportStartupCache("not assembled: another start assembles '%s'", archive);
        unlink(classList);
        if (lock >= 0) {
            close(lock);
        }
        return;
    }
    reportStartupCache(waitForAssembly ? "assembling '%s'" : "assembling '%s' after the launcher",
                       archive);
    fflush(stdout);
    fflush(stderr);
    if (waitForAssembly) {
        assemble();
        close(lock);
        if (training) {
            publishShippedArchive();
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
        unlink(classList);
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

int startupCache::dumpArchive(const char* trainee) {
    stringArray added;
    added.append(createStringCopy("-Xshare:dump"));
    added.append(createString("-XX:SharedClassListFile=", classList));
    added.append(createString("-XX:SharedArchiveFile=", trainee));
    if (mechanism == linkedStaticArchive) {
        added.append(createStringCopy("-XX:+AOTClassLinking"));
    }
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
int startupCache::putInPlace(const char* trainee) {
    int ok;
    cacheRecord record;
    record.checksum = computeFileChecksum(trainee, &ok);
    chmod(trainee, 0400);
    record.takeFileState(trainee);
    record.set(record.executable, HACKexePath);
    record.set(record.mainClass, mainClass);
    record.set(record.runtimeHome, runtimeHome);
    record.set(record.runtimeVersion, runtimeVersion);
    record.classes = countLines(classList);
    record.remakes = remakes;
    if (!ok || !record.write(recordPath) || rename(trainee, archive) != 0) {
        return 0;
    }
    // Some file systems give a renamed file a new change time; noting it
    // spares the next start the checksum.
    record.takeFileState(archive);
    record.write(recordPath);
    return 1;
}

void startupCache::assemble() {
    ownedString trainee(createString(archive, ".XXXXXX.tmp"));
    int fd = mkstemps(trainee.get(), (int)strlen(".tmp"));
    if (fd >= 0) {
        close(fd);
        int placed =
            dumpArchive(trainee.get()) && isComplete(trainee.get()) && putInPlace(trainee.get());
        if (placed) {
            reportStartupCache("assembled '%s'", archive);
        } else {
            unlink(trainee.get());
            unlink(recordPath);
            reportStartupCache("assembly left no complete archive for '%s'", archive);
        }
    }
    unlink(classList);
    if (!training) {
        evictArchives(directory, getCacheSizeLimit());
    }
}
