// The end of a training run: the archive the JVM wrote goes in place under
// its key's name when it is complete, and what older keys left is removed.

#include "cache/cacheDirectory.h"
#include "cache/cacheKey.h"
#include "cache/startupCache.h"
#include "unix/exePath.h"
#include "util/strings.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

// Smaller than any archive: the header alone takes a page.
static const long smallestArchive = 4096;

void startupCache::finish(char** arguments) {
    if (!training) {
        return;
    }
    if (mechanism == aotCache) {
        createAotCache(arguments);
    }
    if (isTraineeComplete() && stampArchive(trainee, getArchiveStamp(key)) &&
        rename(trainee, archive) == 0) {
        reportStartupCache("trained '%s'", archive);
        removeLeftovers();
        return;
    }
    unlink(trainee);
    reportStartupCache("training left no complete archive for '%s'", archive);
}

// Written by the JVM, of the user, and begun by the header that the JVM
// writes after everything else.
int startupCache::isTraineeComplete() const {
    int fd = open(trainee, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    struct stat status;
    unsigned char magic[4];
    int complete = fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
                   status.st_uid == geteuid() && status.st_size >= smallestArchive &&
                   read(fd, magic, sizeof magic) == (ssize_t)sizeof magic &&
                   memcmp(magic, getArchiveMagic(mechanism), sizeof magic) == 0;
    close(fd);
    return complete;
}

// Runs the command with nothing on the terminal: its standard streams are
// /dev/null, and it has a process group of its own, out of the reach of the
// terminal's signals. 1 when it exited with status 0.
static int runQuietly(char** command) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t child;
    int failed = posix_spawn(&child, command[0], &actions, &attributes, command, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
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

static int isOneOf(const char* argument, const stringArray& list) {
    for (int i = 0; i < list.size(); i++) {
        if (argument == list[i]) {
            return 1;
        }
    }
    return 0;
}

// The second step of an AOT cache: the child's command line up to its main
// class, without the recording options and the options left out of the key
// (logs, the environment dump), assembles the cache from the configuration
// that the recording run wrote.
void startupCache::createAotCache(char** arguments) {
    int count = 0;
    while (arguments[count] != nullptr) {
        count++;
    }
    char** command = new char*[count + 5];
    stringArray added;
    int used = 0;
    command[used++] = arguments[0];
    for (int i = 1; i < count && arguments[i] != mainClass && strcmp(arguments[i], mainClass) != 0;
         i++) {
        if (!isOneOf(arguments[i], options) && isKeyOption(arguments[i])) {
            command[used++] = arguments[i];
        }
    }
    added.append(createStringCopy(getQuietLogOption(mechanism)));
    added.append(createStringCopy("-XX:AOTMode=create"));
    added.append(createString("-XX:AOTConfiguration=", configuration));
    added.append(createString("-XX:AOTCache=", trainee));
    for (int i = 0; i < added.size(); i++) {
        command[used++] = added[i];
    }
    command[used] = nullptr;
    struct stat status;
    if (stat(configuration, &status) != 0 || status.st_size == 0 || !runQuietly(command)) {
        unlink(trainee);
    }
    unlink(configuration);
    delete[] command;
}

// The process is gone: its temporary files will never be put in place.
static int isGone(long pid) {
    return pid > 0 && kill((pid_t)pid, 0) != 0 && errno == ESRCH;
}

// What follows "Name-<application>-" in the name of a file of the cache:
// the key, then "jsa" or "aot" for an archive, or the training process and
// "tmp" or "aotconf" for a temporary file.
static int isLeftover(const char* rest, const char* ownKey) {
    const char* dot = strchr(rest, '.');
    if (dot == nullptr || dot - rest != 16) {
        return 0;
    }
    const char* kind = dot + 1;
    if (strcmp(kind, "jsa") == 0 || strcmp(kind, "aot") == 0) {
        return strncmp(rest, ownKey, 16) != 0;
    }
    char* end;
    long pid = strtol(kind, &end, 10);
    return end != kind && (strcmp(end, ".tmp") == 0 || strcmp(end, ".aotconf") == 0) && isGone(pid);
}

void startupCache::removeLeftovers() const {
    DIR* listing = opendir(directory);
    if (listing == nullptr) {
        return;
    }
    char ownKey[17];
    snprintf(ownKey, sizeof ownKey, "%016llx", key);
    size_t prefixLength = strlen(namePrefix);
    for (struct dirent* found = readdir(listing); found != nullptr; found = readdir(listing)) {
        if (strncmp(found->d_name, namePrefix, prefixLength) == 0 &&
            isLeftover(found->d_name + prefixLength, ownKey)) {
            unlinkat(dirfd(listing), found->d_name, 0);
        }
    }
    closedir(listing);
}
