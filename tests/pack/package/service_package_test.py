#!/usr/bin/env python3
"""Packages made with larkwin-pack --service: the systemd unit inside the
.deb and the .rpm, and the maintainer scripts that install it neither
enabled nor started and that stop and disable it on removal.

tests/pack/package/CMakeLists.txt sets the environment: PACKAGE_TEST_PACK
(larkwin-pack), PACKAGE_TEST_DEMO_JAR (the demo) and SERVICE_PACKAGE_DIR,
where "--make", the fixture, writes the packages that the groups read: the
demo with --service (of Type=notify, allowed a low port), and the same
without it (under "plain"). The image
copies a stand-in runtime, so that no jlink runs and the packages are small.
Every process runs with a time limit.
"""

import glob
import os
import re
import shutil
import sys
import tempfile
import unittest

from package_test import DEMO_JAR, PACK, checked, run

DIR = os.environ.get("SERVICE_PACKAGE_DIR", "")
NAME = "larkwin-test-service"
UNIT = "/usr/lib/systemd/system/%s.service" % NAME
LAUNCHER = "/opt/%s/bin/%s" % (NAME, NAME)
SCRIPTS = ("postinst", "prerm", "postrm")


def package_path(pattern, subdirectory=""):
    found = glob.glob(os.path.join(DIR, subdirectory, pattern))
    if len(found) != 1:
        raise unittest.SkipTest("no package '%s' in %s: run pack.package.service.make"
                                % (pattern, DIR))
    return found[0]


def make_packages():
    """The fixture: the demo as a service, both ways, and again without; then
    as a .deb with a menu entry asked for."""
    shutil.rmtree(DIR, ignore_errors=True)
    plain = os.path.join(DIR, "plain")
    os.makedirs(plain)
    menu = os.path.join(DIR, "menu")
    os.makedirs(menu)
    work = tempfile.mkdtemp(prefix="larkwin-service-package-make-")
    try:
        licence = os.path.join(work, "LICENSE")
        with open(licence, "w") as file:
            file.write("Copyright 2026 the larkwin authors\n\nMIT License\n")
        # Only bin/java is looked for in a runtime that is copied.
        java = os.path.join(work, "runtime", "bin", "java")
        os.makedirs(os.path.dirname(java))
        with open(java, "w") as file:
            file.write("#!/bin/sh\nexit 0\n")
        os.chmod(java, 0o755)
        common = ["--name", NAME, "--app-version", "2.0", "--description", "Test service",
                  "--maintainer", "Larkwin Tests <tests@example.org>", "--license-file", licence,
                  "--license", "MIT", "--runtime", os.path.dirname(os.path.dirname(java)),
                  "--main-class", "com.larkwin.demo.Demo", "--quiet"]
        checked(PACK, "--deb", DIR, "--rpm", DIR, "--service", "--service-notify",
                "--service-low-port", *common, DEMO_JAR)
        checked(PACK, "--deb", plain, "--rpm", plain, *common, DEMO_JAR)
        checked(PACK, "--deb", menu, "--menu-entry", "--terminal", *common, DEMO_JAR)
    finally:
        shutil.rmtree(work)


class ServicePackageCase(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="larkwin-service-package-test-")
        self.addCleanup(shutil.rmtree, self.dir)

    def unpacked(self, deb, name="root"):
        """The package's files and, in DEBIAN, its control files."""
        root = os.path.join(self.dir, name)
        checked("dpkg-deb", "-R", deb, root)
        return root

    def read(self, path):
        with open(path) as file:
            return file.read()

    def rpm_scripts(self, rpm):
        """The scriptlets by rpm's name for them ("postinstall"...)."""
        printed = checked("rpm", "-qp", "--scripts", rpm)
        scripts = {}
        for part in re.split(r"^(\w+) scriptlet \(using /bin/sh\):\n", printed,
                             flags=re.MULTILINE)[1:]:
            if part in ("postinstall", "preuninstall", "postuninstall"):
                name = part
            else:
                scripts[name] = part
        return scripts

    def assertShellSyntax(self, text, what):
        result = run("sh", "-n", "-c", text)
        self.assertEqual(0, result.returncode, "%s: %s" % (what, result.stderr))


class ServicePackageContentsTest(ServicePackageCase):
    def test_unit_runs_the_installed_launcher(self):
        root = self.unpacked(package_path(NAME + "_*.deb"))
        unit = self.read(root + UNIT).splitlines()
        for line in ('ExecStart="%s"' % LAUNCHER, "CacheDirectory=" + NAME,
                     "StateDirectory=" + NAME, "DynamicUser=yes", "Type=notify",
                     "AmbientCapabilities=CAP_NET_BIND_SERVICE"):
            self.assertIn(line, unit)
        # A service asked for nothing a desktop shows: no menu entry.
        self.assertEqual([], glob.glob(root + "/usr/share/applications/*"))
        # The image's own unit would name the path where it was staged.
        self.assertEqual([], glob.glob(root + "/opt/*/lib/systemd"))
        shown = checked(PACK, "--show", root + LAUNCHER).splitlines()
        self.assertIn("crashdir", shown)
        files = checked("rpm", "-qlp", package_path(NAME + "-*.rpm")).splitlines()
        self.assertIn(UNIT, files)

    def test_debian_scripts_neither_enable_nor_start(self):
        root = self.unpacked(package_path(NAME + "_*.deb"))
        scripts = {}
        for name in SCRIPTS:
            path = os.path.join(root, "DEBIAN", name)
            self.assertEqual(0o755, os.stat(path).st_mode & 0o777, name)
            scripts[name] = self.read(path)
            self.assertTrue(scripts[name].startswith("#!/bin/sh\nset -e\n"), name)
            self.assertShellSyntax(scripts[name], name)
            self.assertNotRegex(scripts[name], r"deb-systemd-helper (--\S+ )*(un)?mask|"
                                r"deb-systemd-helper (--\S+ )*enable|"
                                r"deb-systemd-invoke (--\S+ )*(start|restart)|"
                                r"systemctl (--\S+ )*(start|enable)", name)
        service = NAME + ".service"
        self.assertIn("deb-systemd-helper update-state " + service, scripts["postinst"])
        self.assertIn("deb-systemd-invoke try-restart " + service, scripts["postinst"])
        self.assertIn("deb-systemd-invoke stop " + service, scripts["prerm"])
        self.assertIn("deb-systemd-helper disable " + service, scripts["prerm"])
        self.assertIn("deb-systemd-helper purge " + service, scripts["postrm"])

    def test_rpm_scripts(self):
        scripts = self.rpm_scripts(package_path(NAME + "-*.rpm"))
        self.assertEqual({"postinstall", "preuninstall", "postuninstall"}, set(scripts))
        for name, text in scripts.items():
            self.assertShellSyntax(text, name)
            self.assertNotRegex(text, r"systemctl (--\S+ )*(start|enable|preset)", name)
        service = NAME + ".service"
        # On removal only: rpm gives %preun the number of versions left.
        self.assertRegex(scripts["preuninstall"], r'^if \[ "\$1" -eq 0 \]; then\n')
        self.assertIn("systemctl stop " + service, scripts["preuninstall"])
        self.assertIn("systemctl disable " + service, scripts["preuninstall"])
        self.assertIn("systemctl try-restart " + service, scripts["postuninstall"])

    def test_without_service_there_is_no_unit_and_no_script(self):
        root = self.unpacked(package_path(NAME + "_*.deb", "plain"))
        self.assertEqual(["conffiles", "control", "md5sums"],
                         sorted(os.listdir(os.path.join(root, "DEBIAN"))))
        self.assertFalse(os.path.exists(root + "/usr/lib/systemd"))
        self.assertNotIn("crashdir", checked(PACK, "--show", root + LAUNCHER).splitlines())
        rpm = package_path(NAME + "-*.rpm", "plain")
        self.assertEqual("", checked("rpm", "-qp", "--scripts", rpm))
        self.assertNotIn(UNIT, checked("rpm", "-qlp", rpm).splitlines())

    def test_a_command_line_tool_has_a_menu_entry_only_when_asked(self):
        # Nothing a desktop shows was asked for: none. --menu-entry
        # --terminal: one, run in a terminal.
        plain = self.unpacked(package_path(NAME + "_*.deb", "plain"), "plain")
        self.assertEqual([], glob.glob(plain + "/usr/share/applications/*"))
        rpm = package_path(NAME + "-*.rpm", "plain")
        self.assertEqual([], [f for f in checked("rpm", "-qlp", rpm).splitlines()
                              if "/applications/" in f])
        menu = self.unpacked(package_path(NAME + "_*.deb", "menu"), "menu")
        self.assertEqual([menu + "/usr/share/applications/%s.desktop" % NAME],
                         glob.glob(menu + "/usr/share/applications/*"))
        with open(menu + "/usr/share/applications/%s.desktop" % NAME) as file:
            entry = file.read()
        self.assertIn("\nTerminal=true\n", entry)
        self.assertIn("\nExec=/usr/bin/%s\n" % NAME, entry)

    def test_a_package_name_that_cannot_name_a_unit_is_refused_first(self):
        # '+' names a package but not a unit; the refusal comes before
        # anything is linked or packed (jlink would run: no --runtime).
        out = os.path.join(self.dir, "out")
        os.makedirs(out)
        result = run(PACK, "--deb", out, "--name", "orders+web", "--app-version", "1",
                     "--description", "Takes orders", "--maintainer", "A B <a@example.org>",
                     "--license-file", PACK, "--main-class", "Main", "--service", DEMO_JAR,
                     timeout=30)
        self.assertEqual(1, result.returncode, result.stderr)
        self.assertIn("'orders+web' cannot name a systemd service", result.stderr)
        self.assertEqual([], os.listdir(out))


class ServicePackageLintTest(ServicePackageCase):
    def test_lintian_reports_no_error_or_warning(self):
        deb = package_path(NAME + "_*.deb")
        result = run("lintian", "--no-cfg", "--fail-on", "error,warning", deb, timeout=240)
        problems = [line for line in result.stdout.splitlines() if line.startswith(("E:", "W:"))]
        self.assertEqual([], problems, result.stdout + result.stderr)
        self.assertEqual(0, result.returncode, result.stdout + result.stderr)


class ServicePackageVerifyTest(ServicePackageCase):
    def test_systemd_accepts_the_packaged_unit(self):
        if shutil.which("systemd-analyze") is None:
            self.skipTest("systemd-analyze is not installed (Debian's systemd)")
        root = self.unpacked(package_path(NAME + "_*.deb"))
        # The unit is checked inside the unpacked tree, where ExecStart's
        # launcher is; the units it depends on come from this machine.
        system = "/lib/systemd/system"
        if not os.path.isdir(system):
            system = "/usr/lib/systemd/system"
        shutil.copytree(system, root + "/usr/lib/systemd/system", symlinks=True,
                        dirs_exist_ok=True, ignore=lambda directory, names: [
                            name for name in names if name == NAME + ".service"])
        result = run("systemd-analyze", "verify", "--root=" + root, root + UNIT)
        output = result.stdout + result.stderr
        self.assertEqual(0, result.returncode, output)
        # Unknown or malformed settings are only warned about.
        self.assertNotIn(NAME, output)


def enablement_links():
    """Links to the unit in systemd's configuration: what enabling makes."""
    return glob.glob("/etc/systemd/system/*/%s.service" % NAME) + glob.glob(
        "/etc/systemd/system/%s.service" % NAME)


def helper_state():
    """What deb-systemd-helper keeps of the unit."""
    return [path for path in glob.glob("/var/lib/systemd/deb-systemd-helper-*/**", recursive=True)
            if NAME in os.path.basename(path)]


def running_launchers():
    """The processes that run the installed launcher."""
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            if os.readlink("/proc/%s/exe" % pid).startswith("/opt/%s/" % NAME):
                found.append(pid)
        except OSError:
            pass
    return found


class InstallGuard(ServicePackageCase):
    """Only as root, only while no package of that name is installed and
    nothing of it is on the machine; the purge (and the removal of a link
    that enabling made) is registered before the install, so that it runs
    whatever happens. CI runs in a throwaway container as root; the name
    belongs to this test alone."""

    def setUp(self):
        super().setUp()
        if os.geteuid() != 0:
            self.skipTest("installing a package needs root")
        if run("dpkg", "-s", NAME).returncode == 0:
            self.skipTest(NAME + " is installed already: not touching it")
        for path in ("/opt/" + NAME, "/etc/" + NAME, UNIT, "/lib/systemd/system/%s.service" % NAME):
            if os.path.lexists(path):
                self.skipTest(path + " exists: not touching it")
        if enablement_links() or helper_state():
            self.skipTest("systemd's configuration already names %s: not touching it" % NAME)

    def install(self):
        self.addCleanup(self.forget)
        checked("dpkg", "-i", package_path(NAME + "_*.deb"), timeout=240)

    def forget(self):
        run("dpkg", "--purge", NAME, timeout=240)
        for link in enablement_links():
            os.unlink(link)

    def assertNothingLeft(self):
        self.assertNotEqual(0, run("dpkg", "-s", NAME).returncode)
        for path in (UNIT, "/opt/" + NAME, "/etc/" + NAME):
            self.assertFalse(os.path.lexists(path), path)
        self.assertEqual([], enablement_links())
        self.assertEqual([], helper_state())


class ServicePackageInstallTest(InstallGuard):
    """Installs, removes and purges the .deb where systemd does not run
    (a container or a chroot): the scripts must do their part without it."""

    def test_install_enables_and_starts_nothing_purge_leaves_nothing(self):
        self.install()
        self.assertTrue(os.path.isfile(UNIT))
        self.assertEqual([], enablement_links())
        self.assertEqual([], running_launchers())
        if shutil.which("systemctl") is not None:
            result = run("systemctl", "is-enabled", NAME + ".service")
            self.assertEqual("disabled", result.stdout.strip(), result.stderr)
        # Installing again, as an upgrade does, still enables nothing.
        checked("dpkg", "-i", package_path(NAME + "_*.deb"), timeout=240)
        self.assertEqual([], enablement_links())
        checked("dpkg", "--purge", NAME, timeout=240)
        self.assertNothingLeft()

    def test_removal_disables_what_the_user_enabled(self):
        if shutil.which("systemctl") is None:
            self.skipTest("systemctl is not installed (Debian's systemd)")
        self.install()
        # systemctl enables a unit without a running systemd, as in a chroot.
        checked("systemctl", "enable", NAME + ".service")
        self.assertNotEqual([], enablement_links())
        checked("dpkg", "--remove", NAME, timeout=240)
        self.assertEqual([], enablement_links())
        self.assertFalse(os.path.lexists(UNIT))
        checked("dpkg", "--purge", NAME, timeout=240)
        self.assertNothingLeft()


class ServicePackageSystemdTest(InstallGuard):
    """The same under a running systemd, which the scripts then tell."""

    def setUp(self):
        if not os.path.isdir("/run/systemd/system"):
            self.skipTest("systemd is not running here (PID 1 is not systemd): nothing to "
                          "start, stop or reload")
        super().setUp()

    def test_installed_unit_is_known_neither_enabled_nor_active(self):
        self.install()
        service = NAME + ".service"
        self.assertIn(service, checked("systemctl", "list-unit-files", service))
        self.assertEqual("disabled", run("systemctl", "is-enabled", service).stdout.strip())
        self.assertEqual("inactive", run("systemctl", "is-active", service).stdout.strip())
        checked("dpkg", "--purge", NAME, timeout=240)
        self.assertNotIn(service, run("systemctl", "list-unit-files", service).stdout)
        self.assertNothingLeft()


if __name__ == "__main__":
    if sys.argv[1:] == ["--make"]:
        make_packages()
    else:
        unittest.main()
