#include "config/environmentDirectives.h"

#include "unix/environment.h"
#include "unix/exePath.h"
#include "unix/files.h"
#include "unix/tempFile.h"
#include "util/owned.h"
#include "util/stringArray.h"
#include "util/stringBuffer.h"
#include "util/strings.h"
#include "vm/javaVm.h"

#include <cstdio>
#include <cstring>

void applyCopyEnv(configFile&, javaVm& vm, char* name) {
    ownedString value(createEnvironmentValue(name));
    if (value == nullptr) {
        if (debug) {
            printf("copyenv: %s is not set; no property\n", name);
        }
        return;
    }
    stringBuffer option;
    option.append("-Dlarkwin.copyenv.");
    option.append(name);
    option.append('=');
    option.append(value.get());
    vm.addVmOption(option.createString());
}

static char* createDumpLine(char* name, char* value) {
    stringBuffer line;
    line.appendUnicode(name);
    line.append('=');
    line.appendUnicode(value);
    line.append(getLineTerminator());
    return line.createString();
}

// One line per entry of the environment, in its order; a name whose lookup
// finds no value gives no line. The lines are joined into a text of exactly
// their total size: growing one buffer piece by piece would copy the whole
// dump again at every step, which a large environment makes very slow.
static char* createEnvironmentDump() {
    stringArray names;
    addEnvironmentNames(&names);
    stringArray lines;
    size_t total = 0;
    for (int i = 0; i < names.size(); i++) {
        ownedString value(createEnvironmentValue(names[i]));
        if (value != nullptr) {
            lines.append(createDumpLine(names[i], value.get()));
            total += strlen(lines[lines.size() - 1]);
        }
    }
    char* dump = new char[total + 1];
    size_t at = 0;
    for (int i = 0; i < lines.size(); i++) {
        size_t length = strlen(lines[i]);
        memcpy(dump + at, lines[i], length);
        at += length;
    }
    dump[at] = 0;
    return dump;
}

void applyExportEnv(configFile&, javaVm& vm, char*) {
    ownedString path(writeTempFile(ownedString(createEnvironmentDump()).get()));
    vm.addVmOption(createString("-Dlarkwin.exportenv=", path.get()));
    // addTempFile keeps its own copy, so the process-wide list takes this one.
    vm.addTempFile(path.get());
    HACKtempFileArray.append(path.release());
}
