// Runs one case of the in-process runner on a real VM and ends with the
// launch's exit code (254 after a thrown message, which it prints like the
// launcher's top level does). A process can create only one VM.
//
// Usage: larkwin_in_process_driver <case> <java> <app jar> <association jar>
//        [temporary file...]
#include "process/jniVmInProcess.h"
#include "testSupport.h"
#include "unix/exePath.h"
#include "util/strings.h"

#include <cstdio>
#include <cstring>

namespace {
void setUp(jniVmInProcess& vm, const char* mainClass, const char* classPath) {
    vm.setMainClass(copyOf(mainClass));
    vm.addPath(copyOf(classPath));
}

// Configures vm for the case; false for an unknown case.
bool configure(jniVmInProcess& vm, const char* name, char** args, int count) {
    if (strcmp(name, "params") == 0 || strcmp(name, "badOption") == 0) {
        debug = 1;
        setUp(vm, "larkwin.test.PrintArgs", args[0]);
        vm.addVmOption(copyOf(strcmp(name, "params") == 0 ? "-Dlarkwin.test=set"
                                                          : "-Xlarkwin-no-such-option"));
        vm.addParam(copyOf("one"));
        vm.addParam(copyOf("two words"));
        vm.addParam(copyOf(""));
    } else if (strcmp(name, "plain") == 0) {
        setUp(vm, "larkwin.test.PrintArgs", args[0]);
    } else if (strcmp(name, "exit") == 0 || strcmp(name, "restart") == 0) {
        setUp(vm, "larkwin.test.ExitThree", args[0]);
        for (int i = 2; i < count; i++) {
            HACKtempFileArray.append(copyOf(args[i]));
        }
        vm.setRestartCode(strcmp(name, "restart") == 0 ? 3 : 0);
    } else if (strcmp(name, "exception") == 0) {
        setUp(vm, "larkwin.test.Throws", args[0]);
        vm.setExitCode(5);
    } else if (strcmp(name, "opens") == 0 || strcmp(name, "closed") == 0) {
        debug = 1;
        setUp(vm, "larkwin.test.OpensLang", args[0]);
        vm.manifestOpens.append(copyOf("jdk.nosuch/no.such"));
        if (strcmp(name, "opens") == 0) {
            vm.manifestOpens.append(copyOf("java.base/java.lang"));
        }
    } else if (strcmp(name, "association") == 0) {
        debug = 1;
        setUp(vm, "larkwin.test.Associate", args[0]);
        vm.addPath(copyOf(args[1]));
    } else {
        return false;
    }
    return true;
}

// The launcher a restart executes: a shell that says so and ends with 7.
char shellPath[] = "/bin/sh";
char shellName[] = "sh";
char shellOption[] = "-c";
char shellCommand[] = "echo restarted; exit 7";
char* restartArgv[] = {shellName, shellOption, shellCommand, nullptr};
} // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        fprintf(stderr, "usage: %s case java appJar associationJar [file...]\n", argv[0]);
        return 2;
    }
    // As on a terminal, so that the launcher's lines and the VM's keep their order.
    setvbuf(stdout, nullptr, _IOLBF, 0);
    HACKexePath = shellPath;
    HACKargv = restartArgv;
    jniVmInProcess vm;
    vm.setJavaPath(copyOf(argv[2]));
    if (!configure(vm, argv[1], argv + 3, argc - 3)) {
        fprintf(stderr, "unknown case %s\n", argv[1]);
        return 2;
    }
    if (!runPrintingFailure(vm)) {
        return 254;
    }
    printf("run returned, exit code %d\n", vm.getExitCode());
    return vm.getExitCode();
}
