#ifndef LARKWIN_PACK_PACKAGE_PACKAGESERVICE_H
#define LARKWIN_PACK_PACKAGE_PACKAGESERVICE_H

#include "pack/package/packageBaseArchive.h"
#include "pack/package/packageFormat.h"

#include <string>
#include <utility>
#include <vector>

struct packageRequest;

// A package made with --service (the request's image.service): the systemd
// unit that runs the installed launcher, and the maintainer scripts that
// install it neither enabled nor started and that stop and disable it on
// removal. Without --service each of these adds nothing.

// Throws, before anything slow is done, when --name or --service-user
// cannot be written in a unit.
void checkServiceNames(const packageRequest& request);

// Writes root/usr/lib/systemd/system/NAME.service, whose ExecStart is
// /opt/NAME/bin/NAME, and appends its path to installed.
void stageServiceUnit(const packageRequest& request, const char* root,
                      std::vector<installedEntry>& installed);

// One maintainer script of a package format: its name (a file of dpkg's
// control directory, a section of rpmbuild's recipe), the service's part
// (createServiceScript's text, "@" for the unit's name; null for none) and
// what it does with the base archive (packageBaseArchive.h), under
// archiveCondition (null: always). A format's row lists its scripts, and a
// null name ends them.
struct maintainerScript {
    const char* name;
    const char* service;
    baseArchiveStep archive;
    const char* archiveCondition;
};

// Each of scripts that has something to say for the request: its name and
// the service's part, then the base archive's. Without --service nor the
// base archive made once installed, none.
std::vector<std::pair<const char*, std::string>>
createMaintainerScripts(const packageRequest& request, const maintainerScript* scripts);

#endif
