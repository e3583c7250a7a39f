#include "pack/deb/debianScripts.h"
#include "pack/rpm/rpmScripts.h"
#include "pack/service/serviceUnit.h"
#include "testSupport.h"

#include <gtest/gtest.h>
#include <string>

namespace {
std::string unitFor(const serviceRequest& options, const char* name, const char* executable) {
    ownedString unit(createServiceUnit(options, name, executable));
    return unit.get();
}

bool hasLine(const std::string& text, const std::string& line) {
    return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}
} // namespace

TEST(ServiceUnitTest, DefaultsAreAnOwnUserAndNoCapabilities) {
    serviceRequest options;
    std::string unit = unitFor(options, "orders", "/opt/orders/bin/orders");
    for (const char* line :
         {"[Service]", "Type=exec", "ExecStart=\"/opt/orders/bin/orders\"", "DynamicUser=yes",
          "Restart=on-failure", "SuccessExitStatus=143", "KillMode=mixed", "CacheDirectory=orders",
          "StateDirectory=orders", "NoNewPrivileges=yes", "ProtectSystem=strict", "ProtectHome=yes",
          "PrivateTmp=yes", "CapabilityBoundingSet=", "WantedBy=multi-user.target"}) {
        EXPECT_TRUE(hasLine(unit, line)) << line << " in\n" << unit;
    }
    for (const char* absent : {"User=", "AmbientCapabilities=", "MemoryDenyWriteExecute="}) {
        EXPECT_EQ(std::string::npos, unit.find("\n" + std::string(absent))) << absent;
    }
}

TEST(ServiceUnitTest, AskedForNotifyAUserAndALowPort) {
    serviceRequest options;
    options.notify = true;
    options.lowPort = true;
    options.user = "orders-svc";
    std::string unit = unitFor(options, "orders", "/opt/orders/bin/orders");
    for (const char* line :
         {"Type=notify", "User=orders-svc", "AmbientCapabilities=CAP_NET_BIND_SERVICE",
          "CapabilityBoundingSet=CAP_NET_BIND_SERVICE"}) {
        EXPECT_TRUE(hasLine(unit, line)) << line << " in\n" << unit;
    }
    EXPECT_FALSE(hasLine(unit, "DynamicUser=yes"));
}

// systemd would expand '%' and split the path at a blank; '$', quotes,
// backslashes and bytes that are not UTF-8 cannot be written so that systemd
// runs the path they are in.
TEST(ServiceUnitTest, TheExecutablesPathIsQuotedOrRefused) {
    serviceRequest options;
    std::string unit = unitFor(options, "app", "/opt/my app/100%/caf\xc3\xa9/bin/app");
    EXPECT_TRUE(hasLine(unit, "ExecStart=\"/opt/my app/100%%/caf\xc3\xa9/bin/app\"")) << unit;
    struct {
        const char* path;
        const char* message;
    } refused[] = {
        {"/opt/$HOME/bin/app", "'/opt/$HOME/bin/app' holds $, which a systemd unit's ExecStart= "
                               "cannot express: make the image in a folder whose path has no "
                               "'$', quote or backslash"},
        {"/opt/\"q\"/bin/app", "'/opt/\"q\"/bin/app' holds \", which a systemd unit's ExecStart= "
                               "cannot express: make the image in a folder whose path has no "
                               "'$', quote or backslash"},
        {"/opt/it's/bin/app", nullptr},
        {"/opt/a\\b/bin/app", nullptr},
        {"/opt/caf\xe9/bin/app", "'/opt/caf\xe9/bin/app' is not UTF-8, and a systemd unit must be: "
                                 "make the image in a folder whose path is"},
        {"/opt/a\rb/bin/app", "'/opt/a\rb/bin/app' holds a control character, which a systemd "
                              "unit cannot hold: the unit would run something else"},
    };
    for (const auto& test : refused) {
        std::string message =
            thrownMessage([&]() { delete[] createServiceUnit(options, "app", test.path); });
        if (test.message != nullptr) {
            EXPECT_EQ(test.message, message) << test.path;
        } else {
            EXPECT_NE("", message) << test.path;
        }
    }
}

TEST(ServiceUnitTest, NamesSystemdCannotTakeAreRefused) {
    serviceRequest options;
    EXPECT_EQ("'my app' cannot name a systemd service: use letters, digits, ':', '_', '.' and "
              "'-'; give --name",
              thrownMessage([&]() { delete[] createServiceUnit(options, "my app", "/x"); }));
    EXPECT_NE("", thrownMessage([&]() { delete[] createServiceUnit(options, "", "/x"); }));
    options.user = "Root;rm";
    EXPECT_EQ("--service-user 'Root;rm' is not a user name",
              thrownMessage([&]() { delete[] createServiceUnit(options, "app", "/x"); }));
}

TEST(ServiceScriptTest, RemovalStopsAndDisablesInstallStartsNothing) {
    ownedString postinst(createServiceScript(debianScripts[0].service, "orders"));
    ownedString prerm(createServiceScript(debianScripts[1].service, "orders"));
    ownedString preun(createServiceScript(rpmScripts[1].service, "orders"));
    std::string install = postinst.get();
    EXPECT_EQ(std::string::npos, install.find("systemctl start")) << install;
    EXPECT_EQ(std::string::npos, install.find("systemctl enable")) << install;
    EXPECT_NE(std::string::npos, install.find("try-restart orders.service")) << install;
    std::string debianRemoval = prerm.get();
    EXPECT_NE(std::string::npos, debianRemoval.find("deb-systemd-invoke stop orders.service"))
        << debianRemoval;
    EXPECT_NE(std::string::npos, debianRemoval.find("deb-systemd-helper disable orders.service"))
        << debianRemoval;
    std::string rpmRemoval = preun.get();
    EXPECT_NE(std::string::npos, rpmRemoval.find("systemctl stop orders.service")) << rpmRemoval;
    EXPECT_NE(std::string::npos, rpmRemoval.find("systemctl disable orders.service")) << rpmRemoval;
}

// lintian warns of any other systemctl call in Debian's maintainer scripts:
// the others go through deb-systemd-helper and deb-systemd-invoke.
TEST(ServiceScriptTest, DebianScriptsCallSystemctlOnlyToReload) {
    for (const maintainerScript* which = debianScripts; which->name != nullptr; which++) {
        ownedString script(createServiceScript(which->service, "orders"));
        std::string text = script.get();
        for (size_t at = text.find("systemctl"); at != std::string::npos;
             at = text.find("systemctl", at + 1)) {
            size_t lineEnd = text.find('\n', at);
            std::string rest = text.substr(at, lineEnd - at);
            EXPECT_EQ(0u, rest.find("systemctl --system daemon-reload")) << text;
        }
    }
}

TEST(ServiceUnitTest, WrittenIntoTheUnitDirectory) {
    scratchDir dir;
    serviceRequest options;
    writeServiceUnit(options, "orders", "/opt/orders/bin/orders",
                     dir.path("lib/systemd/system").c_str());
    std::string written = readFile(dir.path("lib/systemd/system/orders.service"));
    EXPECT_EQ(unitFor(options, "orders", "/opt/orders/bin/orders"), written);
}
