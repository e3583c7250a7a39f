#include "pack/package/packageService.h"

#include "pack/base/ownedText.h"
#include "pack/package/packageRequest.h"
#include "pack/package/stagingFiles.h"
#include "pack/service/serviceUnit.h"

#include <string>

// Where both Debian (lintian takes /lib and /usr/lib alike; /usr/lib is
// where Debian is moving) and the rpm distributions keep packaged units.
static const char unitDirectory[] = "/usr/lib/systemd/system";

void checkServiceNames(const packageRequest& request) {
    if (request.image.service) {
        takeString(createServiceUnit(*request.image.service, request.name.c_str(), "/"));
    }
}

void stageServiceUnit(const packageRequest& request, const char* root,
                      std::vector<installedEntry>& installed) {
    if (!request.image.service) {
        return;
    }
    const std::string& name = request.name;
    std::string executable = "/opt/" + name + "/bin/" + name;
    writeServiceUnit(*request.image.service, name.c_str(), executable.c_str(),
                     (root + std::string(unitDirectory)).c_str());
    installed.push_back({unitDirectory + ("/" + name) + ".service", installedPath});
}

std::vector<std::pair<const char*, std::string>>
createMaintainerScripts(const packageRequest& request, const maintainerScript* scripts) {
    std::vector<std::pair<const char*, std::string>> texts;
    for (const maintainerScript* script = scripts; script->name != nullptr; script++) {
        std::string text;
        if (request.image.service && script->service != nullptr) {
            text = takeString(createServiceScript(script->service, request.name.c_str()));
        }
        text += createBaseArchiveScript(request, script->archive, script->archiveCondition);
        if (!text.empty()) {
            texts.emplace_back(script->name, text);
        }
    }
    return texts;
}
