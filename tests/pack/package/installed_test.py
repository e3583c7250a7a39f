#!/usr/bin/env python3
"""The demo's packages installed, upgraded and removed, and its .rpm linted.

Reads the packages that package_test.py's fixture made (same environment).
The .rpm is installed into a root made for the test ("rpm --root", its
database inside it), so nothing of this machine is touched; it still needs
root, as rpm gives the files their owner. The upgrade installs .debs on this
machine under a name of its own, with the guard of installing.py.
"""

import os
import shutil
import stat
import unittest

from installing import apt_get, hand_over, purge, refuse_to_touch
from package_test import DEMO_JAR, NAME, PACK, SOURCE, PackageTestCase, checked, package_path, run

DATABASE = "/var/lib/rpm"


def rpm_in(root, *arguments):
    """rpm on the tree under root, with its database in that tree too."""
    return checked("rpm", "--root", root, "--dbpath", DATABASE, *arguments)


def files_under(root, skip=()):
    """The paths under root, relative and sorted, of everything but directories."""
    found = []
    for directory, _, names in os.walk(root):
        for name in names:
            path = os.path.relpath(os.path.join(directory, name), root)
            if not path.startswith(skip):
                found.append(path)
    return sorted(found)


def demo_output(command, home):
    """The demo's report of how it was started, with one parameter."""
    return checked(*(command + ["one"]), cwd=home,
                   env=dict(os.environ, XDG_CONFIG_HOME=os.path.join(home, "config")))


class RootTestCase(PackageTestCase):
    def setUp(self):
        super().setUp()
        if os.geteuid() != 0:
            self.skipTest("rpm gives installed files their owner: needs root")

    def new_rpm_root(self):
        root = os.path.join(self.dir, "rpm-root")
        os.makedirs(root)
        rpm_in(root, "--initdb")
        return root

    def assertNothingLeft(self, root):
        self.assertEqual([], files_under(root, (DATABASE[1:],)))
        self.assertFalse(os.path.lexists(os.path.join(root, "opt", NAME)))


class RpmInstallTest(RootTestCase):
    def test_install_run_erase(self):
        root = self.new_rpm_root()
        # --nodeps: the test root holds no C library for rpm to find.
        rpm_in(root, "-i", "--nodeps", package_path(NAME + "-1.2~rc1-1.*.rpm"))
        installed = rpm_in(root, "-ql", NAME).splitlines()
        self.assertIn("/opt/%s/runtime/bin/java" % NAME, installed)
        # Each path as the .deb has it: type, mode and owner.
        deb_root = self.unpacked(package_path(NAME + "_*.deb"))
        for path in installed:
            got = os.lstat(root + path)
            self.assertEqual((0, 0), (got.st_uid, got.st_gid), path)
            if os.path.lexists(deb_root + path):
                self.assertEqual(stat.filemode(os.lstat(deb_root + path).st_mode),
                                 stat.filemode(got.st_mode), path)
        # Relative, so that rpmbuild has no absolute link to warn about.
        self.assertEqual("../../opt/%s/bin/%s" % (NAME, NAME),
                         os.readlink(os.path.join(root, "usr/bin", NAME)))
        self.assertEqual("-rwxr-xr-x", stat.filemode(os.stat(
            os.path.join(root, "opt", NAME, "bin", NAME)).st_mode))
        # The image runs from the test root by its own path; its
        # configuration and runtime are found beside it.
        image = os.path.join(root, "opt", NAME)
        output = demo_output(self.bundle_command(os.path.join(image, "bin", NAME)), self.dir)
        self.assertIn("  one\n", output)
        self.assertIn("java.home: %s/runtime\n" % image, output)
        rpm_in(root, "-e", NAME)
        self.assertNotEqual(0, run("rpm", "--root", root, "--dbpath", DATABASE, "-q",
                                   NAME).returncode)
        self.assertNothingLeft(root)


class RpmLintTest(PackageTestCase):
    """rpmlint's defaults are openSUSE's policy; rpmlintrc lists the findings
    kept on purpose, each with its reason. Anything else fails."""

    def test_rpmlint_reports_nothing_unexpected(self):
        if shutil.which("rpmlint") is None:
            self.skipTest("needs rpmlint (Debian's rpmlint package)")
        result = run("rpmlint", "--rpmlintrc", os.path.join(SOURCE, "rpmlintrc"),
                      package_path(NAME + "-1.2~rc1-1.*.rpm"), timeout=240)
        problems = [line for line in result.stdout.splitlines() if ": E: " in line
                    or ": W: " in line]
        self.assertEqual([], problems, result.stdout + result.stderr)
        self.assertEqual(0, result.returncode, result.stdout + result.stderr)


class UpgradeTest(RootTestCase):
    """Version 1.0 of the demo installed and handed a URL and a file through
    its installed menu entry's command; then 2.0 over it, with the site's
    settings changed in between as an administrator would: the package's
    files are replaced, the settings kept. The site file that larkwin-pack
    writes is the same in both versions, so dpkg keeps the changed one
    without asking, as it would for any user; with no terminal a question
    would fail the install, so none is forced either way. Installed on this
    machine with installing.py's guard; the .rpms into a test root.

    The hand-over comes before the site's "addparam": "+SHELL" forwards the
    configuration's parameters too, as files to open."""

    name = "larkwin-test-upgrade"

    def setUp(self):
        super().setUp()
        refuse_to_touch(self, self.name)
        self.site = "/etc/%s/%s.config" % (self.name, self.name)

    def make(self, version, runtime):
        """The demo as version, whose configuration ends with a comment naming it."""
        with open(os.path.join(SOURCE, "demo-package.config")) as file:
            configuration = file.read() + "# the demo, version %s\n" % version
        path = os.path.join(self.dir, "demo-%s.config" % version)
        with open(path, "w") as file:
            file.write(configuration)
        dist = os.path.join(self.dir, "dist")
        os.makedirs(dist, exist_ok=True)
        licence = os.path.join(self.dir, "LICENSE")
        with open(licence, "w") as file:
            file.write("Copyright 2026 the larkwin authors\n\nMIT License\n")
        checked(PACK, "--deb", dist, "--rpm", dist, "--name", self.name, "--app-version", version,
                "--description", "Shows what larkwin hands an application",
                "--maintainer", "Larkwin Tests <tests@example.org>", "--license-file", licence,
                "--license", "MIT", "--runtime", runtime, "--config", path, "--quiet",
                "--file-type", "ltupgrade,application/x-larkwin-test-upgrade,Larkwin test",
                "--url-scheme", self.name, DEMO_JAR,
                timeout=900)
        architecture = checked("dpkg", "--print-architecture").strip()
        return (os.path.join(dist, "%s_%s_%s.deb" % (self.name, version, architecture)),
                os.path.join(dist, "%s-%s-1.%s.rpm" % (self.name, version, os.uname().machine)))

    def test_upgrade_keeps_the_changed_settings(self):
        # The fixture's runtime, copied: no second link.
        runtime = os.path.join(self.unpacked(package_path(NAME + "_*.deb")), "opt", NAME,
                               "runtime")
        first, first_rpm = self.make("1.0", runtime)
        second, second_rpm = self.make("2.0", runtime)
        command = ["/usr/bin/" + self.name]
        self.addCleanup(purge, self.name)
        apt_get("install", first)
        self.assertIn("# the demo, version 1.0\n", checked(PACK, "--show", command[0]))
        # The demo's configuration has "socket 47833".
        url = self.name + ":open?id=3"
        self.assertEqual([url, os.path.join(self.dir, "notes.ltupgrade")],
                         hand_over(self, self.name, 47833, self.dir, url, "notes.ltupgrade"))
        with open(self.site, "a") as file:
            file.write("addparam from-the-site-file\n")
        apt_get("install", second)
        self.assertEqual("2.0", checked("dpkg-query", "-W", "-f", "${Version}", self.name))
        configuration = checked(PACK, "--show", command[0])
        self.assertIn("# the demo, version 2.0\n", configuration)
        self.assertNotIn("version 1.0", configuration)
        self.assertIn("  one\n  from-the-site-file\n", demo_output(command, self.dir))
        self.assertEqual([self.name + ".config"], os.listdir(os.path.dirname(self.site)))
        apt_get("purge", self.name)
        for path in ("/opt/" + self.name, "/etc/" + self.name, "/usr/bin/" + self.name):
            self.assertFalse(os.path.lexists(path), path)
        self.upgrade_rpm(first_rpm, second_rpm)

    def upgrade_rpm(self, first, second):
        """rpm -U keeps a changed %config(noreplace) file; rpm -e, having no
        purge, keeps it too, as NAME.config.rpmsave."""
        root = self.new_rpm_root()
        rpm_in(root, "-i", "--nodeps", first)
        site = root + self.site
        with open(site, "a") as file:
            file.write("addparam from-the-site-file\n")
        rpm_in(root, "-U", "--nodeps", second)
        self.assertEqual("2.0", rpm_in(root, "-q", "--queryformat", "%{VERSION}", self.name))
        bundle = os.path.join(root, "opt", self.name, "bin", self.name)
        self.assertIn("# the demo, version 2.0\n", checked(PACK, "--show", bundle))
        self.assertIn("addparam from-the-site-file\n", self.read(site))
        self.assertEqual([self.name + ".config"], os.listdir(os.path.dirname(site)))
        rpm_in(root, "-e", self.name)
        self.assertEqual(sorted(["etc/%s/%s.config.rpmsave" % (self.name, self.name)]),
                         files_under(root, (DATABASE[1:],)))


if __name__ == "__main__":
    unittest.main()
