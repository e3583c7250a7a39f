#!/usr/bin/env python3
"""Packages of applications made by larkwin-pack --deb and --rpm.

tests/pack/package/CMakeLists.txt sets the environment, each name with the
prefix PACKAGE_TEST_: PACK (larkwin-pack), LAUNCHER (larkwin), DEMO_JAR (the
demo), SWING_JAR (a Swing application that shows one window), SOURCE (this
folder) and DIR (where "--make", the fixture, writes the packages that the
other groups read). Every process runs with a time limit.

The installed application's configuration reads its settings with
"tryinclude" and "expand". Where the launcher under test does not know them
yet, the groups that run the application run its bundle with "+CONFIG" and
the same configuration without those lines, and say so.
"""

import glob
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

PACK = os.environ.get("PACKAGE_TEST_PACK", "")
LAUNCHER = os.environ.get("PACKAGE_TEST_LAUNCHER", "")
DEMO_JAR = os.environ.get("PACKAGE_TEST_DEMO_JAR", "")
SWING_JAR = os.environ.get("PACKAGE_TEST_SWING_JAR", "")
SOURCE = os.environ.get("PACKAGE_TEST_SOURCE", "")
DIR = os.environ.get("PACKAGE_TEST_DIR", "")
NAME = "larkwin-test-demo"
SWING = "larkwin-test-window"
SCHEME = "larkwin-test-demo"
MIME = "application/x-larkwin-test-demo"
WINDOW_CLASS = "com-larkwin-demo-Demo"
TIME_LIMIT = 120


def settings_lines(name):
    """The lines that end an installed application's configuration."""
    return ["tryinclude /etc/%s/%s.config" % (name, name), "expand",
            "tryinclude ${xdg.config.home}/%s/%s.config" % (name, name)]


# What the image's ELF files may need: the C and C++ runtimes and zlib.
SYSTEM_LIBRARIES = {"libc6", "libgcc-s1", "libstdc++6", "zlib1g"}


def run(*command, **options):
    options.setdefault("timeout", TIME_LIMIT)
    return subprocess.run(list(command), capture_output=True, text=True, **options)


def checked(*command, **options):
    result = run(*command, **options)
    if result.returncode != 0:
        raise AssertionError("%s failed with %d:\n%s%s" % (
            command[0], result.returncode, result.stdout, result.stderr))
    return result.stdout


def package_path(pattern):
    found = glob.glob(os.path.join(DIR, pattern))
    if len(found) != 1:
        raise unittest.SkipTest("no package '%s' in %s: run pack.package.make" % (pattern, DIR))
    return found[0]


def make_packages():
    """The fixture: the demo both ways and the Swing application as a .deb."""
    shutil.rmtree(DIR, ignore_errors=True)
    os.makedirs(DIR)
    work = tempfile.mkdtemp(prefix="larkwin-package-make-")
    try:
        licence = os.path.join(work, "LICENSE")
        with open(licence, "w") as file:
            file.write("Copyright 2026 the larkwin authors\n\nMIT License\n")
        icon_png = os.path.join(work, "icon.png")
        checked("rsvg-convert", "-w", "64", "-h", "64", "-o", icon_png,
                os.path.join(SOURCE, "icon.svg"))
        common = ["--app-version", "1.2~rc1", "--maintainer", "Larkwin Tests <tests@example.org>",
                  "--license-file", licence, "--license", "MIT",
                  "--homepage", "https://example.org/larkwin", "--quiet"]
        checked(PACK, "--deb", DIR, "--rpm", DIR, "--name", NAME,
                "--description", "Shows what larkwin hands an application",
                "--icon", os.path.join(SOURCE, "icon.svg"),
                "--file-type", "ltdemo," + MIME + ",Larkwin test document",
                "--url-scheme", SCHEME,
                "--metainfo", os.path.join(SOURCE, "org.larkwin.demoapp.metainfo.xml"),
                "--config", os.path.join(SOURCE, "demo-package.config"), DEMO_JAR,
                *common, timeout=700)
        checked(PACK, "--deb", DIR, "--name", SWING, "--description", "Shows one window",
                "--icon", icon_png, "--main-class", "org.larkwin.windowtest.WindowClassApp",
                "--no-startup-cache", SWING_JAR, *common, timeout=700)
    finally:
        shutil.rmtree(work)


class PackageTestCase(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="larkwin-package-test-")
        self.addCleanup(shutil.rmtree, self.dir)

    def unpacked(self, deb):
        root = os.path.join(self.dir, "root")
        checked("dpkg-deb", "-x", deb, root)
        return root

    def read(self, path):
        with open(path) as file:
            return file.read()

    def entry(self, root, name):
        """A desktop entry's keys."""
        text = self.read(os.path.join(root, "usr/share/applications", name))
        return dict(line.split("=", 1) for line in text.splitlines() if "=" in line)

    def bundle_command(self, bundle):
        """The command that runs the bundle: itself when the launcher knows
        the settings' directives, else with +CONFIG of a copy of its
        configuration without them (the bundle on the class path and the
        runtime named by absolute paths, since the copy lies elsewhere)."""
        probe = os.path.join(self.dir, "probe.config")
        with open(probe, "w") as file:
            file.write("tryinclude /nonexistent/x.config\nmainclass x\n")
        result = run(LAUNCHER, "+CONFIG", probe, "+SHELL")
        if "Unrecognized directive" not in result.stdout:
            return [bundle]
        print("NOTE: the launcher does not know tryinclude yet; running the bundle with the "
              "packaged configuration less the settings' lines")
        configuration = checked(PACK, "--show", bundle).splitlines()
        real = os.path.realpath(bundle)
        self.assertEqual(settings_lines(os.path.basename(real)), configuration[-3:])
        java = os.path.join(os.path.dirname(os.path.dirname(real)), "runtime/bin/java")
        lines = [line if line != "javapath ../runtime/bin/java" else "javapath " + java
                 for line in configuration[:-3]] + ["addpath " + real]
        alternative = os.path.join(self.dir, "without-settings.config")
        with open(alternative, "w") as file:
            file.write("\n".join(lines) + "\n")
        return [bundle, "+CONFIG", alternative]


class ContentsTest(PackageTestCase):
    def test_debian_fields(self):
        deb = package_path(NAME + "_1.2~rc1_*.deb")
        fields = checked("dpkg-deb", "-f", deb)
        self.assertIn("Package: " + NAME + "\n", fields)
        self.assertIn("Version: 1.2~rc1\n", fields)
        self.assertIn("Maintainer: Larkwin Tests <tests@example.org>\n", fields)
        self.assertIn("Homepage: https://example.org/larkwin\n", fields)
        self.assertIn("Description: Shows what larkwin hands an application\n ", fields)
        depends = checked("dpkg-deb", "-f", deb, "Depends").strip()
        names = {item.strip().split(" ")[0] for item in depends.split(",")}
        self.assertTrue(names, depends)
        # Nothing of the packing machine: no Java, no library of its own.
        self.assertLessEqual(names, SYSTEM_LIBRARIES, depends)
        self.assertIn("libc6", names)
        self.assertEqual("/etc/%s/%s.config\n" % (NAME, NAME),
                         checked("dpkg-deb", "--info", deb, "conffiles"))
        control_files = checked("dpkg-deb", "--info", deb)
        for script in ("preinst", "postinst", "prerm", "postrm"):
            self.assertNotIn(" " + script + " ", control_files)

    def test_debian_files(self):
        root = self.unpacked(package_path(NAME + "_*.deb"))
        bundle = os.path.join(root, "opt", NAME, "bin", NAME)
        self.assertEqual("/opt/%s/bin/%s" % (NAME, NAME),
                         os.readlink(os.path.join(root, "usr/bin", NAME)))
        self.assertTrue(os.access(os.path.join(root, "opt", NAME, "runtime/bin/java"), os.X_OK))
        configuration = checked(PACK, "--show", bundle).splitlines()
        self.assertEqual(["javapath ../runtime/bin/java"] + settings_lines(NAME),
                         configuration[-4:])
        self.assertIn("socket 47833", configuration)
        site = self.read(os.path.join(root, "etc", NAME, NAME + ".config"))
        self.assertTrue(all(line.startswith("#") for line in site.splitlines()), site)
        for size in (16, 24, 32, 48, 64, 128, 256):
            self.assertPngSize(os.path.join(
                root, "usr/share/icons/hicolor/%dx%d/apps/%s.png" % (size, size, NAME)), size)
        self.assertTrue(os.path.exists(os.path.join(
            root, "usr/share/icons/hicolor/scalable/apps", NAME + ".svg")))
        mime = self.read(os.path.join(root, "usr/share/mime/packages", NAME + ".xml"))
        self.assertIn('<mime-type type="%s">' % MIME, mime)
        self.assertIn('<glob pattern="*.ltdemo"/>', mime)
        for path in ("usr/share/metainfo/org.larkwin.demoapp.metainfo.xml",
                     "usr/share/doc/%s/copyright" % NAME, "usr/share/doc/%s/changelog.gz" % NAME,
                     "usr/share/man/man1/%s.1.gz" % NAME,
                     "usr/share/lintian/overrides/" + NAME):
            self.assertTrue(os.path.isfile(os.path.join(root, path)), path)

    def test_menu_entries(self):
        root = self.unpacked(package_path(NAME + "_*.deb"))
        menu = self.entry(root, NAME + ".desktop")
        opener = self.entry(root, NAME + "-open.desktop")
        # The menu starts the application; the hidden entry hands files and
        # URLs to the running instance, or starts it.
        self.assertEqual("/usr/bin/" + NAME, menu["Exec"])
        self.assertNotIn("MimeType", menu)
        self.assertEqual("/usr/bin/%s +SHELL %%U" % NAME, opener["Exec"])
        self.assertEqual("%s;x-scheme-handler/%s;" % (MIME, SCHEME), opener["MimeType"])
        self.assertEqual("true", opener["NoDisplay"])
        for entry in (menu, opener):
            self.assertEqual(WINDOW_CLASS, entry["StartupWMClass"])
            self.assertEqual(NAME, entry["Icon"])

    def test_swing_package_scales_its_png_down_only(self):
        root = self.unpacked(package_path(SWING + "_*.deb"))
        icons = sorted(os.listdir(os.path.join(root, "usr/share/icons/hicolor")))
        self.assertEqual(["16x16", "24x24", "32x32", "48x48", "64x64"], icons)
        entry = self.entry(root, SWING + ".desktop")
        self.assertEqual("/usr/bin/" + SWING, entry["Exec"])
        self.assertEqual("org-larkwin-windowtest-WindowClassApp", entry["StartupWMClass"])

    def test_rpm(self):
        rpm = package_path(NAME + "-1.2~rc1-1.*.rpm")
        query = checked("rpm", "-qp", "--queryformat",
                        "%{NAME}|%{VERSION}|%{RELEASE}|%{LICENSE}|%{URL}|%{SUMMARY}", rpm)
        self.assertEqual("%s|1.2~rc1|1|MIT|https://example.org/larkwin|"
                         "Shows what larkwin hands an application" % NAME, query)
        requires = checked("rpm", "-qp", "--requires", rpm).splitlines()
        provides = checked("rpm", "-qp", "--provides", rpm).splitlines()
        self.assertTrue(any(line.startswith("libc.so.6") for line in requires), requires)
        # The runtime's own libraries are neither asked for nor offered.
        for line in requires + provides:
            self.assertNotRegex(line, r"^lib(jvm|java|jli|net|nio|zip|jimage|verify|jsig)\.so")
        self.assertEqual("", checked("rpm", "-qp", "--scripts", rpm))
        self.assertEqual(["/etc/%s/%s.config" % (NAME, NAME)],
                         checked("rpm", "-qcp", rpm).splitlines())
        files = set(checked("rpm", "-qlp", rpm).splitlines())
        # "MODE OWNER SIZE DATE TIME ./PATH", with " -> TARGET" after a link.
        deb_files = {line.split(None, 5)[5].split(" -> ")[0].lstrip(".") for line in
                     checked("dpkg-deb", "-c", package_path(NAME + "_*.deb")).splitlines()}
        self.assertIn("/usr/bin/" + NAME, files)
        self.assertIn("/opt/%s/runtime/bin/java" % NAME, files)
        self.assertNotIn("/usr/share/lintian/overrides/" + NAME, files)
        self.assertLessEqual({f for f in files if not f.startswith("/etc")},
                             {f.rstrip("/") for f in deb_files} | {"/usr/bin/" + NAME})

    def assertPngSize(self, path, size):
        with open(path, "rb") as file:
            header = file.read(24)
        self.assertEqual(b"\x89PNG", header[:4], path)
        self.assertEqual((size, size), (int.from_bytes(header[16:20], "big"),
                                        int.from_bytes(header[20:24], "big")), path)


class LintTest(PackageTestCase):
    def test_lintian_reports_no_error_or_warning(self):
        for deb in (package_path(NAME + "_*.deb"), package_path(SWING + "_*.deb")):
            result = run("lintian", "--no-cfg", "--fail-on", "error,warning", deb, timeout=240)
            problems = [line for line in result.stdout.splitlines()
                        if line.startswith(("E:", "W:"))]
            self.assertEqual([], problems, result.stdout + result.stderr)
            self.assertEqual(0, result.returncode, result.stdout + result.stderr)

    def test_desktop_entries_validate(self):
        root = self.unpacked(package_path(NAME + "_*.deb"))
        entries = glob.glob(os.path.join(root, "usr/share/applications/*.desktop"))
        self.assertEqual(2, len(entries))
        for entry in entries:
            result = run("desktop-file-validate", entry)
            self.assertEqual(0, result.returncode, result.stdout + result.stderr)
            self.assertEqual("", result.stdout + result.stderr)

    def test_metainfo_validates(self):
        root = self.unpacked(package_path(NAME + "_*.deb"))
        result = run("appstreamcli", "validate", "--no-net", os.path.join(
            root, "usr/share/metainfo/org.larkwin.demoapp.metainfo.xml"))
        self.assertEqual(0, result.returncode, result.stdout + result.stderr)


class MediaTypesTest(PackageTestCase):
    def test_xdg_mime_names_the_application(self):
        root = self.unpacked(package_path(NAME + "_*.deb"))
        share = os.path.join(root, "usr/share")
        checked("update-mime-database", os.path.join(share, "mime"))
        checked("update-desktop-database", os.path.join(share, "applications"))
        home = os.path.join(self.dir, "home")
        os.makedirs(home)
        environment = dict(os.environ, XDG_DATA_DIRS=share, HOME=home,
                           XDG_DATA_HOME=os.path.join(home, "data"),
                           XDG_CONFIG_HOME=os.path.join(home, "config"))
        for variable in ("XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                         "GNOME_DESKTOP_SESSION_ID", "DISPLAY"):
            environment.pop(variable, None)
        opener = NAME + "-open.desktop"
        for mime in (MIME, "x-scheme-handler/" + SCHEME):
            self.assertEqual(opener, checked("xdg-mime", "query", "default", mime,
                                             env=environment).strip())
        document = os.path.join(self.dir, "notes.ltdemo")
        open(document, "w").close()
        self.assertEqual(MIME, checked("xdg-mime", "query", "filetype", document,
                                       env=environment).strip())


class ForwardingTest(PackageTestCase):
    def test_url_and_file_reach_the_running_instance_as_given(self):
        root = self.unpacked(package_path(NAME + "_*.deb"))
        bundle = os.path.join(root, "opt", NAME, "bin", NAME)
        command = self.bundle_command(bundle)
        exec_line = self.entry(root, NAME + "-open.desktop")["Exec"].split(" ")
        self.assertEqual(["/usr/bin/" + NAME, "+SHELL", "%U"], exec_line)
        instance = subprocess.Popen(command + ["--serve", "90"], stdout=subprocess.PIPE,
                                    stderr=subprocess.PIPE, text=True, cwd=self.dir)
        self.addCleanup(self.end, instance)
        for line in instance.stdout:
            if line.startswith("listening on 127.0.0.1:47833"):
                break
        else:
            self.fail("the instance did not listen: " + instance.stderr.read())
        url = SCHEME + "://open?id=3&x=a%20b"
        # What the menu entry runs for a URL and a file, the file named as
        # a file manager would and as a user in a shell would.
        entry_command = command + exec_line[1:2]
        checked(*(entry_command + [url, "notes.ltdemo", "stop"]), cwd=self.dir)
        output, errors = instance.communicate(timeout=TIME_LIMIT)
        opened = [line[5:] for line in output.splitlines() if line.startswith("open ")]
        self.assertEqual([url, os.path.join(self.dir, "notes.ltdemo"),
                          os.path.join(self.dir, "stop")], opened, output + errors)

    def end(self, process):
        if process.poll() is None:
            process.kill()
        process.communicate(timeout=TIME_LIMIT)


class WindowClassTest(PackageTestCase):
    def test_window_class_is_the_entry_startup_wm_class(self):
        for tool in ("Xvfb", "xprop"):
            if shutil.which(tool) is None:
                self.skipTest("needs %s (Debian's xvfb and x11-utils)" % tool)
        root = self.unpacked(package_path(SWING + "_*.deb"))
        expected = self.entry(root, SWING + ".desktop")["StartupWMClass"]
        display = self.start_xvfb()
        bundle = os.path.join(root, "opt", SWING, "bin", SWING)
        environment = dict(os.environ, DISPLAY=display)
        title = "larkwin window class test"
        application = subprocess.Popen(self.bundle_command(bundle) + [title],
                                       stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                       stderr=subprocess.PIPE, text=True, env=environment)
        self.addCleanup(self.end, application)
        if application.stdout.readline() != "shown\n":
            application.kill()
            self.fail("the window was not shown: " + application.communicate()[1])
        printed = checked("xprop", "-name", title, "WM_CLASS", env=environment)
        # WM_CLASS(STRING) = "instance", "class": the class is what the
        # desktop matches StartupWMClass with.
        window_class = printed.strip().split(", ")[-1].strip('"')
        self.assertEqual(expected, window_class, printed)

    def start_xvfb(self):
        """Xvfb on a display of its choice; it writes the number when ready."""
        reading, writing = os.pipe()
        server = subprocess.Popen(["Xvfb", "-displayfd", str(writing), "-nolisten", "tcp",
                                   "-screen", "0", "640x480x24"], pass_fds=(writing,),
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(writing)
        self.addCleanup(self.end, server)
        with os.fdopen(reading) as numbers:
            number = numbers.readline().strip()
        if not number:
            self.fail("Xvfb did not start")
        return ":" + number

    def end(self, process):
        """Ends the process by closing its standard input, else by KILL."""
        try:
            process.communicate(timeout=30)
        except subprocess.TimeoutExpired:
            process.kill()
            process.communicate(timeout=TIME_LIMIT)


class InstallTest(PackageTestCase):
    """Installs the demo's .deb on this machine, runs it, purges it.

    Only as root, only while no package of that name is installed and
    /opt/NAME and /etc/NAME do not exist, and the purge is registered before
    the install, so that it runs whatever happens. CI runs in a throwaway
    container as root; the name belongs to this test alone.
    """

    def setUp(self):
        super().setUp()
        from installing import refuse_to_touch  # it imports this module
        refuse_to_touch(self, NAME)

    def test_install_run_purge(self):
        deb = package_path(NAME + "_*.deb")
        self.addCleanup(run, "dpkg", "--purge", NAME, timeout=240)
        checked("dpkg", "-i", deb, timeout=240)
        self.assertEqual(f"/opt/{NAME}/bin/{NAME}", os.path.realpath("/usr/bin/" + NAME))
        site = "/etc/%s/%s.config" % (NAME, NAME)
        with open(site, "a") as file:
            file.write("addparam from-the-site-file\n")
        command = self.bundle_command("/usr/bin/" + NAME)
        output = checked(*(command + ["one"]), cwd=self.dir, env=dict(
            os.environ, XDG_CONFIG_HOME=os.path.join(self.dir, "config")))
        self.assertIn("  one\n", output)
        self.assertIn("larkwin.executable.path: /opt/%s/bin/%s\n" % (NAME, NAME), output)
        self.assertIn("java.home: /opt/%s/runtime\n" % NAME, output)
        if len(command) == 1:
            self.assertIn("  from-the-site-file\n", output)
        # Installing over it, as an upgrade does, keeps the site's settings.
        checked("dpkg", "-i", "--force-confold", deb, timeout=240)
        self.assertIn("addparam from-the-site-file\n", self.read(site))
        checked("dpkg", "--purge", NAME, timeout=240)
        self.assertNotEqual(0, run("dpkg", "-s", NAME).returncode)
        for path in ("/opt/" + NAME, "/etc/" + NAME, "/usr/bin/" + NAME,
                     "/usr/share/applications/%s.desktop" % NAME):
            self.assertFalse(os.path.lexists(path), path)


if __name__ == "__main__":
    if sys.argv[1:] == ["--make"]:
        make_packages()
    else:
        unittest.main()
