#include "pack/package/packageService.h"

#include "pack/package/packageBaseArchive.h"
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

// The service's part of a script, then the base archive's (with
// baseArchiveAtInstall, see packageBaseArchive.h); "" when neither applies.
static std::string createScriptText(const packageRequest& request, serviceScript which,
                                    const baseArchiveScript* archive) {
    std::string text;
    if (request.image.service) {
        text = ownedString(createServiceScript(which, request.name.c_str())).get();
    }
    return archive != nullptr ? text + createBaseArchiveScript(request, *archive) : text;
}

void writeDebianServiceScripts(const packageRequest& request, const char* root) {
    std::string control = std::string(root) + "/DEBIAN";
    const char* names[] = {"postinst", "prerm", "postrm"};
    const serviceScript scripts[] = {debianPostinst, debianPrerm, debianPostrm};
    const baseArchiveScript archives[] = {baseArchiveDebianPostinst, baseArchiveDebianPrerm};
    for (int i = 0; i < 3; i++) {
        std::string text = createScriptText(request, scripts[i], i < 2 ? &archives[i] : nullptr);
        if (!text.empty()) {
            text = "#!/bin/sh\nset -e\n\n" + text;
            writeTextFile((control + "/" + names[i]).c_str(), text.c_str(), 0755);
        }
    }
}

// The scripts hold no '%': the unit's name cannot, and the texts do not.
void appendRpmServiceScripts(const packageRequest& request, stringBuffer& recipe) {
    const char* sections[] = {"\n%post\n", "\n%preun\n", "\n%postun\n"};
    const serviceScript scripts[] = {rpmPost, rpmPreun, rpmPostun};
    const baseArchiveScript archives[] = {baseArchiveRpmPost, baseArchiveRpmPreun};
    for (int i = 0; i < 3; i++) {
        std::string text = createScriptText(request, scripts[i], i < 2 ? &archives[i] : nullptr);
        if (!text.empty()) {
            recipe.append(sections[i]);
            recipe.append(text.c_str());
        }
    }
}
