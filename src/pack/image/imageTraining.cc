#include "pack/image/imageTraining.h"

#include "unix/removalOnSignal.h"
#include "util/stringArray.h"
#include "util/strings.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

const int trainingSeconds = 600;
// How long a run that was asked to end may take to do so.
static const int endingSeconds = 10;

// The child gets the signal mask that larkwin-pack had, its streams, and
// the cache's training control.
[[noreturn]] static void runInChild(char** command, const sigset_t* mask, const char* cacheHome,
                                    int quiet) {
    sigprocmask(SIG_SETMASK, mask, nullptr);
    int null = open("/dev/null", O_RDWR);
    if (null < 0 || dup2(null, STDIN_FILENO) < 0 ||
        dup2(quiet ? null : STDERR_FILENO, STDOUT_FILENO) < 0 ||
        (quiet && dup2(null, STDERR_FILENO) < 0)) {
        _exit(127);
    }
    setenv("LARKWIN_STARTUP_CACHE", "ship", 1);
    if (cacheHome != nullptr) {
        setenv("XDG_CACHE_HOME", cacheHome, 1);
    }
    execv(command[0], command);
    fprintf(stderr, "larkwin-pack: cannot execute '%s': %s\n", command[0], strerror(errno));
    _exit(127);
}

// Waits for the child's end until the deadline (CLOCK_MONOTONIC seconds);
// 1 with its status when it ended, else 0. SIGCHLD is blocked meanwhile.
static int waitUntil(pid_t child, long long deadline, int* status) {
    sigset_t childSignal;
    sigemptyset(&childSignal);
    sigaddset(&childSignal, SIGCHLD);
    for (;;) {
        pid_t ended = waitpid(child, status, WNOHANG);
        if (ended == child || (ended < 0 && errno != EINTR)) {
            return ended == child;
        }
        struct timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        if (now.tv_sec >= deadline) {
            return 0;
        }
        struct timespec left = {(time_t)(deadline - now.tv_sec), 0};
        sigtimedwait(&childSignal, nullptr, &left);
    }
}

static long long secondsFromNow(int seconds) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (long long)now.tv_sec + seconds;
}

// The run's exit status (128 + n for signal n), or -1 when it had to be ended.
static int runBounded(char** command, const char* cacheHome, int quiet) {
    sigset_t childSignal, saved;
    sigemptyset(&childSignal);
    sigaddset(&childSignal, SIGCHLD);
    fflush(stdout);
    fflush(stderr);
    sigprocmask(SIG_BLOCK, &childSignal, &saved);
    // In a process group of its own, which a termination signal of
    // larkwin-pack (an interrupt from the terminal too) ends first.
    pid_t child = forkRegisteredGroup();
    int forkError = errno;
    if (child == 0) {
        runInChild(command, &saved, cacheHome, quiet);
    }
    int status = 0;
    int result = -1;
    if (child > 0) {
        if (waitUntil(child, secondsFromNow(trainingSeconds), &status)) {
            result = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
        } else {
            kill(child, SIGTERM);
            if (!waitUntil(child, secondsFromNow(endingSeconds), &status)) {
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
            }
        }
    }
    unregisterProcessGroup(child);
    sigprocmask(SIG_SETMASK, &saved, nullptr);
    if (child < 0) {
        throw createMessage("fork failed: %s", strerror(forkError));
    }
    return result;
}

static int holdsArchive(const char* directory) {
    DIR* listing = opendir(directory);
    if (listing == nullptr) {
        return 0;
    }
    int found = 0;
    for (struct dirent* entry = readdir(listing); entry != nullptr && !found;
         entry = readdir(listing)) {
        size_t length = strlen(entry->d_name);
        found = length > 4 && strcmp(entry->d_name + length - 4, ".jsa") == 0;
    }
    closedir(listing);
    return found;
}

static std::string commandText(char* const* command) {
    std::string text;
    for (int i = 0; command[i] != nullptr; i++) {
        text += (i > 0 ? " " : "") + std::string(command[i]);
    }
    return text;
}

static std::string failure(int status, char* const* command) {
    std::string run = "the training run '" + commandText(command) + "' ";
    if (status < 0) {
        return run + "did not end within " + std::to_string(trainingSeconds) + " seconds";
    }
    if (status != 0) {
        return run + "ended with exit status " + std::to_string(status);
    }
    return run + "made no start-up archive; its +DEBUG output says why";
}

void trainLauncher(const char* launcher, const stringArray& arguments, const char* cacheHome,
                   const char* shipped, int quiet) {
    std::string program = launcher;
    std::vector<char*> command = {&program[0]};
    for (int i = 0; i < arguments.size(); i++) {
        command.push_back(arguments[i]);
    }
    command.push_back(nullptr);
    if (!quiet) {
        printf("larkwin-pack: training the start-up archive with '%s'\n",
               commandText(command.data()).c_str());
    }
    int status = runBounded(command.data(), cacheHome, quiet);
    if (status != 0 || !holdsArchive(shipped)) {
        throw createStringCopy(failure(status, command.data()).c_str());
    }
}

void trainApplicationDirectory(const char* image, const char* name, const stringArray& arguments,
                               int quiet) {
    std::string launcher = std::string(image) + "/bin/" + name;
    std::string shipped = std::string(image) + "/lib/startupcache";
    trainLauncher(launcher.c_str(), arguments, nullptr, shipped.c_str(), quiet);
}
