#include "pack/package/packageService.h"

#include "pack/options/packOptions.h"
#include "pack/package/stagingFiles.h"
#include "pack/service/serviceUnit.h"
#include "util/stringArray.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

// Where both Debian (lintian takes /lib and /usr/lib alike; /usr/lib is
// where Debian is moving) and the rpm distributions keep packaged units.
static const char unitDirectory[] = "/usr/lib/systemd/system";

void checkServiceNames(const packOptions& options) {
    if (options.service) {
        delete[] createServiceUnit(options, options.name, "/");
    }
}

void stageServiceUnit(const packOptions& options, const char* root, stringArray& files) {
    if (!options.service) {
        return;
    }
    char* opt = createString("/opt/", options.name);
    char* bin = joinPath(opt, "bin");
    char* executable = joinPath(bin, options.name);
    char* directory = createString(root, unitDirectory);
    char* fileName = createString(options.name, ".service");
    try {
        writeServiceUnit(options, options.name, executable, directory);
    } catch (char*) {
        delete[] fileName;
        delete[] directory;
        delete[] executable;
        delete[] bin;
        delete[] opt;
        throw;
    }
    files.append(joinPath(unitDirectory, fileName));
    delete[] fileName;
    delete[] directory;
    delete[] executable;
    delete[] bin;
    delete[] opt;
}

static void writeDebianScript(const char* control, const char* scriptName, serviceScript which,
                              const char* name) {
    char* part = createServiceScript(which, name);
    char* text = createString("#!/bin/sh\nset -e\n\n", part);
    delete[] part;
    char* path = joinPath(control, scriptName);
    try {
        writeTextFile(path, text, 0755);
    } catch (char*) {
        delete[] path;
        delete[] text;
        throw;
    }
    delete[] path;
    delete[] text;
}

void writeDebianServiceScripts(const packOptions& options, const char* root) {
    if (!options.service) {
        return;
    }
    char* control = createString(root, "/DEBIAN");
    try {
        writeDebianScript(control, "postinst", debianPostinst, options.name);
        writeDebianScript(control, "prerm", debianPrerm, options.name);
        writeDebianScript(control, "postrm", debianPostrm, options.name);
    } catch (char*) {
        delete[] control;
        throw;
    }
    delete[] control;
}

// The scripts hold no '%': the unit's name cannot, and the texts do not.
void appendRpmServiceScripts(const packOptions& options, stringBuffer& recipe) {
    if (!options.service) {
        return;
    }
    const char* sections[] = {"\n%post\n", "\n%preun\n", "\n%postun\n"};
    const serviceScript scripts[] = {rpmPost, rpmPreun, rpmPostun};
    for (int i = 0; i < 3; i++) {
        char* text = createServiceScript(scripts[i], options.name);
        recipe.append(sections[i]);
        recipe.append(text);
        delete[] text;
    }
}
