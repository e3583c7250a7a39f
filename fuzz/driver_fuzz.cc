// The launch driver's argument handling: the input's NUL-separated pieces are
// the arguments after the program name, the executable is a plain file or
// one that carries an archive comment (by the first input byte), and the
// launch stops at a run that does nothing. "+CONFIG" paths are kept to the
// scratch tree. The parameters and flags are compared with what the
// arguments ask for.

#include "fuzzSupport.h"
#include "launcher/configureAndRun.h"
#include "unix/exePath.h"
#include "util/strings.h"

#include <cstring>
#include <unistd.h>
#include <vector>

static std::string endRecord(const std::string& comment) {
    std::string record("PK\x05\x06", 4);
    record.append(16, '\0');
    record += (char)(comment.size() & 0xFF);
    record += (char)(comment.size() >> 8);
    return record + comment;
}

static void makeTree() {
    makeScratchDir("drv");
    writeScratch("drv/app", "just the bytes of a program, no archive");
    writeScratch("drv/app.config", "mainclass org.demo.App\nvmparam -Dk=v\n");
    writeScratch("drv/bundle", "program bytes" + endRecord("mainclass Bundled\n"));
    writeScratch("drv/one.config", "mainclass One\n");
    writeScratch("drv/two.config", "javapath jre/bin/java\nmainclass Two\naddpath x.jar\n");
    writeScratch("drv/broken.config", "Nope\n");
    writeScratch("drv/empty.config", "");
    expect(chdir(scratchPath("drv").c_str()) == 0, "working directory");
}

// What the arguments ask for, read independently of the driver.
struct expectation {
    std::vector<std::string> params;
    std::vector<std::string> movedOptions;
    int debug = 0;
    int gui = 0;
    int shell = 0;
};

static bool readExpectation(const std::vector<std::string>& args, expectation& expected) {
    for (size_t i = 0; i < args.size(); i++) {
        const std::string& arg = args[i];
        if (arg == "+DEBUG") {
            expected.debug = 1;
        } else if (arg == "+GUI") {
            expected.gui = 1;
        } else if (arg == "+SHELL") {
            expected.shell = 1;
        } else if (arg == "+CONFIG") {
            if (i + 1 < args.size()) {
                const std::string& path = args[++i];
                if (path.find('/') != std::string::npos || path == "..") {
                    return false;
                }
            }
        } else if (arg.compare(0, 3, "-J-") == 0) {
            expected.movedOptions.push_back(arg.substr(2));
        } else {
            expected.params.push_back(arg);
        }
    }
    return true;
}

static void expectList(const stringArray& list, int from, const std::vector<std::string>& want,
                       const char* what) {
    expect(list.size() - from == (int)want.size(), what);
    for (size_t i = 0; i < want.size(); i++) {
        expect(want[i] == list[from + (int)i], what);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool made = false;
    if (!made) {
        makeTree();
        made = true;
    }
    if (size < 1) {
        return -1;
    }
    std::string input((const char*)data + 1, size - 1);
    std::vector<std::string> args;
    for (size_t begin = 0; begin < input.size();) {
        size_t end = input.find('\0', begin);
        end = end == std::string::npos ? input.size() : end;
        args.push_back(input.substr(begin, end - begin));
        begin = end + 1;
    }
    expectation expected;
    if (!readExpectation(args, expected)) {
        return -1;
    }
    std::string exe = scratchPath(data[0] & 1 ? "drv/bundle" : "drv/app");
    std::vector<char*> argv{&exe[0]};
    for (std::string& arg : args) {
        argv.push_back(&arg[0]);
    }
    HACKexePath = &exe[0];
    fuzzVm vm;
    std::string failure = thrownMessage([&] {
        configureAndRun(&vm, createString(exe.c_str(), ".config"), createStringCopy(exe.c_str()),
                        (int)argv.size(), argv.data());
    });
    HACKexePath = nullptr;
    if (failure.empty()) {
        // With "+SHELL" and nothing to hand over, nothing is launched;
        // otherwise the send fails (nobody listens on port 0) and it runs.
        // A -J- parameter is a VM option, never handed over.
        bool nothingToSend = expected.params.empty();
        expect(vm.runs == (expected.shell && nothingToSend ? 0 : 1),
               "runs once unless handed over");
        expect(debug == expected.debug && gui == expected.gui, "switches");
        if (vm.runs == 1) {
            expectList(vm.params, 0, expected.params, "parameters in order");
            expectList(vm.vmOptions, vm.vmOptions.size() - (int)expected.movedOptions.size(),
                       expected.movedOptions, "-J- parameters become the last VM options");
        }
    } else {
        expect(vm.runs == 0, "nothing runs after a failure");
    }
    debug = gui = shell = 0;
    return 0;
}
