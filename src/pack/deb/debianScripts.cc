#include "pack/deb/debianScripts.h"

#include "pack/package/stagingFiles.h"

#include <string>

// The service's parts follow what debhelper writes for a unit that is
// neither enabled nor started on installing: deb-systemd-helper keeps the
// enablement state (and works where systemd does not run),
// deb-systemd-invoke heeds policy-rc.d, and nothing touches a running
// systemd when dpkg installs into another root (DPKG_ROOT). The stop on
// removal comes before the files go, so that systemd still knows the unit.
// "@" stands for the unit's name.
extern const maintainerScript debianScripts[] = {
    // After installing or upgrading: records the links that enabling would
    // make, so that a purge removes them; an upgrade restarts a service that
    // runs, nothing starts one that does not. On configure, the base archive
    // is made.
    {"postinst",
     "if [ \"$1\" = configure ] || [ \"$1\" = abort-upgrade ] || [ \"$1\" = abort-deconfigure ] "
     "||\n"
     "    [ \"$1\" = abort-remove ]; then\n"
     "    deb-systemd-helper update-state @.service >/dev/null || true\n"
     "    if [ -z \"${DPKG_ROOT:-}\" ] && [ -d /run/systemd/system ]; then\n"
     "        systemctl --system daemon-reload >/dev/null || true\n"
     "        if [ -n \"$2\" ]; then\n"
     "            deb-systemd-invoke try-restart @.service >/dev/null || true\n"
     "        fi\n"
     "    fi\n"
     "fi\n",
     baseArchiveMade, "[ \"$1\" = configure ]"},
    // Before removal or upgrade: the service is stopped and disabled on
    // removal, and the base archive removed.
    {"prerm",
     "if [ \"$1\" = remove ]; then\n"
     "    if [ -z \"${DPKG_ROOT:-}\" ] && [ -d /run/systemd/system ]; then\n"
     "        deb-systemd-invoke stop @.service >/dev/null || true\n"
     "    fi\n"
     "    deb-systemd-helper disable @.service >/dev/null || true\n"
     "fi\n",
     baseArchiveRemoved, nullptr},
    // After removal: a purge forgets the enablement state, and systemd
    // rereads its units. The helper is essential on Debian, yet a purge may
    // come after any removal.
    {"postrm",
     "if [ \"$1\" = purge ] && command -v deb-systemd-helper >/dev/null; then\n"
     "    deb-systemd-helper purge @.service >/dev/null || true\n"
     "fi\n"
     "if [ -z \"${DPKG_ROOT:-}\" ] && [ -d /run/systemd/system ]; then\n"
     "    systemctl --system daemon-reload >/dev/null || true\n"
     "fi\n",
     baseArchiveKept, nullptr},
    {nullptr, nullptr, baseArchiveKept, nullptr},
};

void writeDebianScripts(const packageRequest& request, const char* root) {
    std::string control = std::string(root) + "/DEBIAN";
    for (const auto& script : createMaintainerScripts(request, debianScripts)) {
        std::string text = "#!/bin/sh\nset -e\n\n" + script.second;
        writeTextFile((control + "/" + script.first).c_str(), text.c_str(), 0755);
    }
}
