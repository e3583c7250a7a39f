#include "pack/package/packageService.h"

#include "pack/package/packageRequest.h"
#include "pack/package/stagingFiles.h"
#include "pack/service/serviceUnit.h"
#include "util/owned.h"
#include "util/stringArray.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <string>

// Where both Debian (lintian takes /lib and /usr/lib alike; /usr/lib is
// where Debian is moving) and the rpm distributions keep packaged units.
static const char unitDirectory[] = "/usr/lib/systemd/system";

void checkServiceNames(const packageRequest& request) {
    if (request.image.service) {
        ownedString(createServiceUnit(*request.image.service, request.name.c_str(), "/"));
    }
}

void stageServiceUnit(const packageRequest& request, const char* root, stringArray& files) {
    if (!request.image.service) {
        return;
    }
    const std::string& name = request.name;
    std::string executable = "/opt/" + name + "/bin/" + name;
    writeServiceUnit(*request.image.service, name.c_str(), executable.c_str(),
                     (root + std::string(unitDirectory)).c_str());
    files.append(createStringCopy((unitDirectory + ("/" + name) + ".service").c_str()));
}

static void writeDebianScript(const std::string& control, const char* scriptName,
                              serviceScript which, const char* name) {
    ownedString part(createServiceScript(which, name));
    std::string text = std::string("#!/bin/sh\nset -e\n\n") + part.get();
    writeTextFile((control + "/" + scriptName).c_str(), text.c_str(), 0755);
}

void writeDebianServiceScripts(const packageRequest& request, const char* root) {
    if (!request.image.service) {
        return;
    }
    std::string control = std::string(root) + "/DEBIAN";
    writeDebianScript(control, "postinst", debianPostinst, request.name.c_str());
    writeDebianScript(control, "prerm", debianPrerm, request.name.c_str());
    writeDebianScript(control, "postrm", debianPostrm, request.name.c_str());
}

// The scripts hold no '%': the unit's name cannot, and the texts do not.
void appendRpmServiceScripts(const packageRequest& request, stringBuffer& recipe) {
    if (!request.image.service) {
        return;
    }
    const char* sections[] = {"\n%post\n", "\n%preun\n", "\n%postun\n"};
    const serviceScript scripts[] = {rpmPost, rpmPreun, rpmPostun};
    for (int i = 0; i < 3; i++) {
        ownedString text(createServiceScript(scripts[i], request.name.c_str()));
        recipe.append(sections[i]);
        recipe.append(text.get());
    }
}
