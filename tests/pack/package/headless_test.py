"""A headless application packed with --exclude-modules java.desktop.

Its jar refers to java.desktop in a method it never calls, as command-line
tools often do; the package must then need no X library, its .rpm must carry
no absolute symbolic link, and it must still run. Set up as package_test.py:
the environment's PACKAGE_TEST_* names larkwin-pack, the launcher and java.
"""

import os
import shutil
import subprocess
import tempfile
import unittest

from package_test import LAUNCHER, PACK, checked, run

JAVA = os.environ.get("PACKAGE_TEST_JAVA", "java")
JDK = os.path.dirname(os.path.dirname(os.path.realpath(shutil.which(JAVA) or JAVA)))
NAME = "larkwin-test-headless"
SOURCE = """package headless;
public class Main {
    public static void main(String[] args) { System.out.println("headless"); }
    static java.awt.Dimension unused() { return java.awt.Toolkit.getDefaultToolkit().getScreenSize(); }
}
"""
# The X client libraries, and what java.desktop links beside them.
DESKTOP_LIBRARIES = ("libx", "libasound", "libfreetype", "libgif", "libharfbuzz", "libjpeg",
                     "liblcms", "libpng", "libfontconfig")


class HeadlessTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="larkwin-headless-test-")
        classes = os.path.join(cls.dir, "classes")
        os.makedirs(os.path.join(classes, "headless"))
        with open(os.path.join(classes, "headless", "Main.java"), "w") as file:
            file.write(SOURCE)
        checked(os.path.join(JDK, "bin", "javac"), "-d", classes,
                os.path.join(classes, "headless", "Main.java"))
        cls.jar = os.path.join(cls.dir, "headless.jar")
        checked(os.path.join(JDK, "bin", "jar"), "--create", "--file", cls.jar,
                "--main-class", "headless.Main", "-C", classes, "headless/Main.class")
        licence = os.path.join(cls.dir, "LICENSE")
        with open(licence, "w") as file:
            file.write("Copyright 2026 the larkwin authors\n\nMIT License\n")
        cls.out = os.path.join(cls.dir, "out")
        os.mkdir(cls.out)
        cls.result = run(PACK, "--deb", cls.out, "--rpm", cls.out, "--name", NAME,
                         "--app-version", "1.0", "--maintainer", "Larkwin Tests <t@example.org>",
                         "--description", "Prints one word", "--license-file", licence,
                         "--license", "MIT", "--launcher", LAUNCHER, "--quiet",
                         "--main-class", "headless.Main", "--no-startup-cache",
                         "--exclude-modules", "java.desktop", cls.jar,
                         timeout=900, env=dict(os.environ, JAVA_HOME=JDK))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir)

    def setUp(self):
        self.assertEqual(0, self.result.returncode, self.result.stderr)

    def package(self, suffix):
        found = [name for name in os.listdir(self.out) if name.endswith(suffix)]
        self.assertEqual(1, len(found), found)
        return os.path.join(self.out, found[0])

    def test_an_excluded_module_the_jars_refer_to_is_warned_of_once(self):
        warning = ("larkwin-pack: warning: module java.desktop is excluded, yet a class in the "
                   "jars refers to it (jdeps found it); that class fails if it runs\n")
        self.assertEqual(1, self.result.stderr.count(warning), self.result.stderr)

    def test_the_deb_needs_no_x_library_and_the_image_runs(self):
        deb = self.package(".deb")
        depends = checked("dpkg-deb", "-f", deb, "Depends").strip()
        names = [item.strip().split(" ")[0] for item in depends.split(",")]
        self.assertIn("libc6", names)
        self.assertEqual([], [name for name in names if name.startswith(DESKTOP_LIBRARIES)],
                         depends)
        root = os.path.join(self.dir, "root")
        checked("dpkg-deb", "-x", deb, root)
        with open(os.path.join(root, "opt", NAME, "runtime", "release")) as release:
            self.assertNotIn("java.desktop", release.read())
        result = subprocess.run([os.path.join(root, "opt", NAME, "bin", NAME)],
                                capture_output=True, text=True, timeout=120, env={"PATH": ""})
        self.assertEqual((0, "headless\n"), (result.returncode, result.stdout), result.stderr)

    def test_the_rpm_links_its_command_relatively(self):
        rpm = self.package(".rpm")
        links = checked("rpm", "-qp", "--queryformat", "[%{FILENAMES} -> %{FILELINKTOS}\\n]", rpm)
        command = [line for line in links.splitlines() if line.startswith("/usr/bin/")]
        self.assertEqual(["/usr/bin/%s -> ../../opt/%s/bin/%s" % (NAME, NAME, NAME)], command)
        absolute = [line for line in links.splitlines() if " -> /" in line]
        self.assertEqual([], absolute)


if __name__ == "__main__":
    unittest.main()
