#include "config/configFile.h"
#include "unix/environment.h"
#include "unix/files.h"
#include "unix/tempFile.h"
#include "util/stringArray.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

void configFile::copyEnvironment(char* name) {
    char* value = createEnvironmentValue(name);
    if (value == nullptr) {
        return;
    }
    stringBuffer option;
    option.append("-Dlarkwin.copyenv.");
    option.append(name);
    option.append('=');
    option.append(value);
    delete[] value;
    vm->addVmOption(option.createString());
}

// One line per entry of the environment, in its order; a name whose lookup
// finds no value gives no line.
static void appendEnvironmentDump(stringBuffer& dump) {
    stringArray names;
    addEnvironmentNames(&names);
    for (int i = 0; i < names.size(); i++) {
        char* value = createEnvironmentValue(names[i]);
        if (value != nullptr) {
            dump.appendUnicode(names[i]);
            dump.append('=');
            dump.appendUnicode(value);
            dump.append(getLineTerminator());
            delete[] value;
        }
    }
}

void configFile::exportEnvironment() {
    stringBuffer dump;
    appendEnvironmentDump(dump);
    dump.append('\0');
    char* path = writeTempFile(dump.getData());
    vm->addVmOption(createString("-Dlarkwin.exportenv=", path));
    // addTempFile keeps its own copy, so the process-wide list takes this one.
    vm->addTempFile(path);
    HACKtempFileArray.append(path);
}
