#include "pack/service/serviceUnit.h"

#include "pack/base/failure.h"
#include "pack/base/reasonedFiles.h"
#include "pack/zip/utf8Text.h"
#include "unix/files.h"
#include "util/owned.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

// What a JVM tolerates, beyond what DynamicUser= implies already. Left out:
// MemoryDenyWriteExecute= (the JIT compilers write the code they run),
// SystemCallFilter= (the JVM's calls differ by version and collector) and
// PrivateNetwork= / IPAddressDeny= (a server needs the network).
static const char* const hardening[] = {
    "NoNewPrivileges=yes",
    "ProtectSystem=strict",
    "ProtectHome=yes",
    "PrivateTmp=yes",
    "PrivateDevices=yes",
    "ProtectKernelTunables=yes",
    "ProtectKernelModules=yes",
    "ProtectKernelLogs=yes",
    "ProtectControlGroups=yes",
    "ProtectClock=yes",
    "ProtectHostname=yes",
    "RestrictSUIDSGID=yes",
    "RestrictRealtime=yes",
    "RestrictNamespaces=yes",
    "LockPersonality=yes",
    "RestrictAddressFamilies=AF_UNIX AF_INET AF_INET6 AF_NETLINK",
    "SystemCallArchitectures=native",
    "UMask=0027",
};

static int isUnitNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           strchr(":_.-", c) != nullptr;
}

// systemd's unit names; the name also names the cache and state directories.
static void checkServiceName(const char* name) {
    size_t length = strlen(name);
    int valid = length > 0 && length <= 200 && name[0] != '.' && name[0] != '-';
    for (size_t i = 0; valid && i < length; i++) {
        valid = isUnitNameCharacter(name[i]);
    }
    if (!valid) {
        throw createMessage("'%s' cannot name a systemd service: use letters, digits, ':', '_', "
                            "'.' and '-'; give --name",
                            name);
    }
}

// The user names that useradd takes on Debian and Fedora alike.
static void checkUserName(const char* user) {
    size_t length = strlen(user);
    int valid =
        length > 0 && length <= 32 && (user[0] == '_' || (user[0] >= 'a' && user[0] <= 'z'));
    for (size_t i = 1; valid && i < length; i++) {
        char c = user[i];
        valid = c == '_' || c == '-' || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    }
    if (!valid) {
        throw createMessage("--service-user '%s' is not a user name", user);
    }
}

// ExecStart= takes the path quoted, '%' doubled and blanks kept. A control
// character would end the setting or the line (systemd reads both line feed
// and carriage return as line ends). systemd takes '$', quotes and
// backslashes in the program's path as they are written, so no escape makes
// them mean themselves, and a unit must be UTF-8: all refused, before the
// unit would run another path.
static void checkExecutable(const char* executable) {
    for (const unsigned char* c = (const unsigned char*)executable; *c != 0; c++) {
        if (*c < 0x20 || *c == 0x7F) {
            throw createMessage("'%s' holds a control character, which a systemd unit cannot "
                                "hold: the unit would run something else",
                                executable);
        }
    }
    const char* unsafe = strpbrk(executable, "$\"'\\");
    if (unsafe != nullptr) {
        throw createMessage("'%s' holds %c, which a systemd unit's ExecStart= cannot express: "
                            "make the image in a folder whose path has no '$', quote or "
                            "backslash",
                            executable, *unsafe);
    }
    if (!isUtf8(executable, strlen(executable))) {
        throw createMessage("'%s' is not UTF-8, and a systemd unit must be: make the image in "
                            "a folder whose path is",
                            executable);
    }
}

static void appendExecutable(stringBuffer& text, const char* executable) {
    checkExecutable(executable);
    text.append("ExecStart=\"");
    for (const char* c = executable; *c != 0; c++) {
        if (*c == '%') {
            text.append(*c);
        }
        text.append(*c);
    }
    text.append("\"\n");
}

static void appendSetting(stringBuffer& text, const char* key, const char* value) {
    text.append(key);
    text.append('=');
    text.append(value);
    text.append('\n');
}

static void appendIdentity(stringBuffer& text, const serviceRequest& service) {
    if (service.user) {
        appendSetting(text, "User", service.user->c_str());
    } else {
        appendSetting(text, "DynamicUser", "yes");
    }
    // A low port needs this one capability, and nothing else is kept.
    if (service.lowPort) {
        appendSetting(text, "AmbientCapabilities", "CAP_NET_BIND_SERVICE");
        appendSetting(text, "CapabilityBoundingSet", "CAP_NET_BIND_SERVICE");
    } else {
        appendSetting(text, "CapabilityBoundingSet", "");
    }
}

char* createServiceUnit(const serviceRequest& service, const char* name, const char* executable) {
    checkServiceName(name);
    if (service.user) {
        checkUserName(service.user->c_str());
    }
    stringBuffer text;
    text.append("# Written by larkwin-pack; see larkwin-pack(1).\n[Unit]\n");
    appendSetting(text, "Description", name);
    text.append("After=network.target\n\n[Service]\n");
    appendSetting(text, "Type", service.notify ? "notify" : "exec");
    appendExecutable(text, executable);
    appendIdentity(text, service);
    // The launcher passes TERM on to Java, whose exit is then 143.
    text.append("KillMode=mixed\nRestart=on-failure\nSuccessExitStatus=143\n");
    appendSetting(text, "CacheDirectory", name);
    appendSetting(text, "StateDirectory", name);
    for (const char* setting : hardening) {
        text.append(setting);
        text.append('\n');
    }
    text.append("\n[Install]\nWantedBy=multi-user.target\n");
    return text.createString();
}

void writeServiceUnit(const serviceRequest& service, const char* name, const char* executable,
                      const char* unitDirectory) {
    ownedString unit(createServiceUnit(service, name, executable));
    std::string path = std::string(unitDirectory) + "/" + name + ".service";
    packMakeDirectories(unitDirectory);
    std::unique_ptr<FILE, int (*)(FILE*)> out(fopen(path.c_str(), "w"), fclose);
    if (out == nullptr) {
        failWithReason("Unable to write", path);
    }
    int written = fputs(unit.get(), out.get()) >= 0;
    if (fclose(out.release()) != 0 || !written) {
        failWithReason("Unable to write", path);
    }
}

char* createServiceScript(const char* script, const char* name) {
    checkServiceName(name);
    stringBuffer text;
    for (const char* c = script; *c != 0; c++) {
        if (*c == '@') {
            text.append(name);
        } else {
            text.append(*c);
        }
    }
    return text.createString();
}
