#ifndef LARKWIN_PACK_SERVICE_SERVICEUNIT_H
#define LARKWIN_PACK_SERVICE_SERVICEUNIT_H

#include <optional>
#include <string>

// What --service asks of the unit: a named user instead of a dynamic one
// (--service-user), Type=notify (--service-notify), and the one capability
// that binds ports below 1024 (--service-low-port).
struct serviceRequest {
    std::optional<std::string> user;
    bool notify = false;
    bool lowPort = false;
};

// The systemd unit of an application packed with --service: it runs the
// launcher as the service's main process, as its own user, restarted when it
// fails, with a cache and a state directory of its own and the hardening
// settings that a JVM tolerates. See larkwin-pack(1) for every line.

// The unit's text for the service name (also its directories' name) whose
// launcher is executable, an absolute path. Owned by the caller. Throws
// when name or --service-user cannot be written in a unit.
char* createServiceUnit(const serviceRequest& service, const char* name, const char* executable);

// Writes name.service into unitDirectory (made, with its parents, when
// missing): for an application directory DIR/lib/systemd/system, for a
// package the staging tree's lib/systemd/system. Throws "Unable to create
// '%s'" or "Unable to write '%s'" with the system's reason.
void writeServiceUnit(const serviceRequest& service, const char* name, const char* executable,
                      const char* unitDirectory);

// A maintainer script's part for the service: script, a piece of POSIX
// shell with "@" standing for the unit's name, with name in its place.
// Each package format's folder holds its own scripts, which install the unit
// neither enabled nor started, stop and disable it on removal, and do
// nothing where systemd is not running. Owned by the caller; throws when
// name cannot be written in a unit.
char* createServiceScript(const char* script, const char* name);

#endif
