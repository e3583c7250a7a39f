// The configuration reader: any text, parsed into a launch description by a
// reader whose directory is a scratch tree. Lines that would make the reader
// open files outside that tree are left out of the input; after "expand",
// only ${config.dir} may name a place in a path that is opened. Every
// parameter before the command line's comes from a "firstparam". The
// expansion of a whole input is checked against a reading of "$$" too.

#include "config/configFile.h"
#include "config/expansion.h"
#include "fuzzSupport.h"
#include "unix/exePath.h"
#include "util/strings.h"

#include <cstdlib>
#include <cstring>

static const char* const fileDirectives[] = {"include", "includedir", "addjars", "addbootjars",
                                             "tryinclude"};

static bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// ${config.dir} is the scratch tree's own directory, so it may stand in a
// path, with a slash after it; every other expansion could lead out of the
// tree. What is left must not lead out either.
static std::string withoutConfigDir(std::string path) {
    for (const std::string name : {"${config.dir}/", "${config.dir}"}) {
        for (size_t at = path.find(name); at != std::string::npos; at = path.find(name)) {
            path.erase(at, name.size());
        }
    }
    return path;
}

// The reader's own reading of one line: the word ends at the first space,
// the argument starts after the blanks that follow it.
static bool staysInside(std::string line) {
    size_t begin = 0;
    while (begin < line.size() && isBlank(line[begin])) {
        begin++;
    }
    size_t end = line.size();
    while (end > begin && isBlank(line[end - 1])) {
        end--;
    }
    line = line.substr(begin, end - begin);
    size_t space = line.find(' ');
    if (space == std::string::npos) {
        return true;
    }
    std::string word = line.substr(0, space);
    size_t argument = space + 1;
    while (argument < line.size() && isBlank(line[argument])) {
        argument++;
    }
    std::string path = withoutConfigDir(line.substr(argument));
    for (const char* directive : fileDirectives) {
        if (word == directive) {
            return path.find_first_of("/$") == std::string::npos && path != "..";
        }
    }
    return true;
}

static bool everyLineStaysInside(const std::string& text) {
    size_t begin = 0;
    while (begin <= text.size()) {
        size_t end = text.find_first_of("\r\n", begin);
        if (end == std::string::npos) {
            end = text.size();
        }
        if (!staysInside(text.substr(begin, end - begin))) {
            return false;
        }
        begin = end + 1;
    }
    return true;
}

static void makeTree() {
    makeScratchDir("cfg/confs");
    makeScratchDir("cfg/jars");
    writeScratch("cfg/inc.config", "addpath lib\nvmparam -Dinc=1\naddbootpath boot.jar\n");
    writeScratch("cfg/loop.config", "include loop.config\n");
    writeScratch("cfg/bad.config", "Unknown x\n");
    writeScratch("cfg/env.config", "copyenv PATH\nexportenv\n");
    writeScratch("cfg/confs/a.config", "mainclass org.a.A\naddskippath ../lib\n");
    writeScratch("cfg/confs/b.config", "include ../inc.config\naddjars ../jars\n");
    writeScratch("cfg/jars/x.jar", "");
    writeScratch("cfg/jars/Y.JAR", "");
    writeScratch("cfg/jars/z.jar.txt", "");
    writeScratch("cfg/expanding.config", "expand\naddparam ${config.dir}$$\ninclude inc.config\n");
    writeScratch("cfg/app", "");
    static std::string exe = scratchPath("cfg/app");
    HACKexePath = &exe[0];
    setenv("LARKWIN_FUZZ_VALUE", "${config.dir}", 1);
}

// Every path the description holds was resolved to an absolute one.
static void expectAbsolute(const stringArray& list) {
    for (int i = 0; i < list.size(); i++) {
        expect(list[i][0] == '/', "resolved paths are absolute");
    }
}

// Without "${", expansion only turns "$$" into "$" and refuses any other
// "$": the expander must agree with this reading of the text.
static void checkExpansionWithoutNames(const std::string& text) {
    if (text.find("${") != std::string::npos) {
        return;
    }
    std::string reference;
    bool refused = false;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] != '$') {
            reference += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == '$') {
            reference += '$';
            i++;
        } else {
            refused = true;
        }
    }
    std::string expanded;
    std::string message = thrownMessage([&] {
        char* result = createExpandedText(text.c_str(), "/conf");
        expanded = result;
        delete[] result;
    });
    expect(refused == !message.empty(), "a lone $ is refused, and only that");
    expect(refused || expanded == reference, "$$ becomes $ and nothing else changes");
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool made = false;
    if (!made) {
        makeTree();
        made = true;
    }
    std::string text((const char*)data, size);
    text = text.substr(0, text.find('\0'));
    checkExpansionWithoutNames(text);
    if (!everyLineStaysInside(text)) {
        return -1;
    }
    {
        fuzzVm vm;
        vm.addParam(createStringCopy("user"));
        char* content = createStringCopy(text.c_str());
        std::string name = scratchPath("cfg/app");
        thrownMessage([&] {
            configFile reader(createStringCopy(name.c_str()), &vm, content);
            reader.parse();
        });
        expectAbsolute(vm.classPath);
        expectAbsolute(vm.bootPath);
        expectAbsolute(vm.skipPath);
        expect(vm.javaPath == nullptr || vm.javaPath[0] == '/', "java path is absolute");
        expect(vm.mainClass == nullptr || strchr(vm.mainClass, '.') == nullptr,
               "main class in slash form");
        int first = vm.getFirstParamCount();
        expect(first >= 0 && first <= vm.params.size(), "first parameters within the list");
        expect(first == vm.params.size() || strcmp(vm.params[first], "user") == 0 ||
                   text.find("clearparams") != std::string::npos,
               "the command line's parameter follows the first parameters");
    }
    forgetTempFiles();
    return 0;
}
