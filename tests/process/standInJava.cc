// Stands in for the java executable in the child-process runner's tests: it
// records how it was started and ends as the test asks. Environment:
//   LARKWIN_STANDIN_RECORD   file for the argument vector, one per line
//   LARKWIN_STANDIN_ARGFILES file for the text of each "@file" argument
//   LARKWIN_STANDIN_SIGNALS  file for the signals it started with blocked or
//                            ignored, one "<n> blocked|ignored" per line
//   LARKWIN_STANDIN_SAY      text written on standard output
//   LARKWIN_STANDIN_RAISE    signal it raises with the default disposition
//   LARKWIN_STANDIN_AWAIT    signal it waits for; it writes its pid to the
//                            descriptor LARKWIN_STANDIN_READY_FD once ready
//   LARKWIN_STANDIN_EXIT     its exit status (also after the awaited signal)
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

static int numberFrom(const char* name, int otherwise) {
    const char* value = getenv(name);
    return value != nullptr ? atoi(value) : otherwise;
}

static void record(int argc, char** argv) {
    const char* path = getenv("LARKWIN_STANDIN_RECORD");
    if (path == nullptr) {
        return;
    }
    FILE* file = fopen(path, "w");
    for (int i = 0; i < argc; i++) {
        fprintf(file, "%s\n", argv[i]);
    }
    fclose(file);
}

// The argument files are gone once the stand-in has ended.
static void recordArgumentFiles(int argc, char** argv) {
    const char* path = getenv("LARKWIN_STANDIN_ARGFILES");
    if (path == nullptr) {
        return;
    }
    FILE* out = fopen(path, "w");
    for (int i = 1; i < argc; i++) {
        FILE* in = argv[i][0] == '@' ? fopen(argv[i] + 1, "r") : nullptr;
        for (int c; in != nullptr && (c = fgetc(in)) != EOF;) {
            fputc(c, out);
        }
        if (in != nullptr) {
            fclose(in);
        }
    }
    fclose(out);
}

static void recordSignals() {
    const char* path = getenv("LARKWIN_STANDIN_SIGNALS");
    if (path == nullptr) {
        return;
    }
    FILE* file = fopen(path, "w");
    sigset_t blocked;
    sigprocmask(SIG_BLOCK, nullptr, &blocked);
    for (int signal = 1; signal < 32; signal++) {
        struct sigaction action;
        sigaction(signal, nullptr, &action);
        if (sigismember(&blocked, signal)) {
            fprintf(file, "%d blocked\n", signal);
        }
        if (action.sa_handler == SIG_IGN) {
            fprintf(file, "%d ignored\n", signal);
        }
    }
    fclose(file);
}

static void exitOnSignal(int) {
    _exit(numberFrom("LARKWIN_STANDIN_EXIT", 0));
}

static void await(int signal) {
    struct sigaction action = {};
    action.sa_handler = exitOnSignal;
    sigaction(signal, &action, nullptr);
    char pid[32];
    int length = snprintf(pid, sizeof pid, "%d\n", (int)getpid());
    if (write(numberFrom("LARKWIN_STANDIN_READY_FD", 1), pid, length) != length) {
        _exit(99);
    }
    for (;;) {
        pause();
    }
}

int main(int argc, char** argv) {
    // Never outlive a failed test by long.
    alarm(20);
    record(argc, argv);
    recordArgumentFiles(argc, argv);
    recordSignals();
    if (getenv("LARKWIN_STANDIN_SAY") != nullptr) {
        printf("%s", getenv("LARKWIN_STANDIN_SAY"));
        fflush(stdout);
    }
    if (numberFrom("LARKWIN_STANDIN_RAISE", 0) != 0) {
        signal(numberFrom("LARKWIN_STANDIN_RAISE", 0), SIG_DFL);
        raise(numberFrom("LARKWIN_STANDIN_RAISE", 0));
    }
    if (numberFrom("LARKWIN_STANDIN_AWAIT", 0) != 0) {
        await(numberFrom("LARKWIN_STANDIN_AWAIT", 0));
    }
    return numberFrom("LARKWIN_STANDIN_EXIT", 0);
}
