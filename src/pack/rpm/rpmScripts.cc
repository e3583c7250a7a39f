#include "pack/rpm/rpmScripts.h"

#include "util/stringBuffer.h"

// "@" stands for the unit's name. The scripts hold no '%': the unit's name
// cannot, and the texts do not.
extern const maintainerScript rpmScripts[] = {
    // After installing or upgrading: systemd rereads its units; the base
    // archive is made (rpm runs the new package's %post before the old
    // one's %preun).
    {"%post",
     "if [ -d /run/systemd/system ]; then\n"
     "    systemctl --system daemon-reload >/dev/null 2>&1 || :\n"
     "fi\n",
     baseArchiveMade, nullptr},
    // Before removal: $1 is the number of versions left, 0 on removal, which
    // stops and disables the service and removes the base archive.
    {"%preun",
     "if [ \"$1\" -eq 0 ]; then\n"
     "    if [ -d /run/systemd/system ]; then\n"
     "        systemctl stop @.service >/dev/null 2>&1 || :\n"
     "    fi\n"
     "    if command -v systemctl >/dev/null; then\n"
     "        systemctl disable @.service >/dev/null 2>&1 || :\n"
     "    fi\n"
     "fi\n",
     baseArchiveRemoved, "[ \"$1\" -eq 0 ]"},
    // After removal or an upgrade: after an upgrade, the new files run.
    {"%postun",
     "if [ -d /run/systemd/system ]; then\n"
     "    systemctl --system daemon-reload >/dev/null 2>&1 || :\n"
     "    if [ \"$1\" -ge 1 ]; then\n"
     "        systemctl try-restart @.service >/dev/null 2>&1 || :\n"
     "    fi\n"
     "fi\n",
     baseArchiveKept, nullptr},
    {nullptr, nullptr, baseArchiveKept, nullptr},
};

void appendRpmScripts(const packageRequest& request, stringBuffer& recipe) {
    for (const auto& script : createMaintainerScripts(request, rpmScripts)) {
        recipe.append('\n');
        recipe.append(script.first);
        recipe.append('\n');
        recipe.append(script.second.c_str());
    }
}
