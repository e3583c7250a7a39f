#!/usr/bin/env python3
"""The Debian package of larkwin, checked without installing it.

tests/package/CMakeLists.txt sets the environment, each name with the prefix
PACKAGE_TEST_: DEB (the package CPack made), VERSION, SOURCE (the source
tree), APP_JAR (a jar holding the class Main), JAVA_HOME, JAVAC and JAR.
Every process runs with a time limit.
"""

import gzip
import os
import re
import shutil
import struct
import subprocess
import tempfile
import unittest

DEB = os.environ.get("PACKAGE_TEST_DEB", "")
VERSION = os.environ.get("PACKAGE_TEST_VERSION", "")
SOURCE = os.environ.get("PACKAGE_TEST_SOURCE", "")
APP_JAR = os.environ.get("PACKAGE_TEST_APP_JAR", "")
JAVA_HOME = os.environ.get("PACKAGE_TEST_JAVA_HOME", "")
JAVAC = os.environ.get("PACKAGE_TEST_JAVAC", "javac")
JAR = os.environ.get("PACKAGE_TEST_JAR", "jar")
TIME_LIMIT = 60
# Lintian reads every file of the package; a small one takes seconds.
LINTIAN_TIME_LIMIT = 240

FILES = {
    "usr/bin/larkwin": "-rwxr-xr-x",
    "usr/bin/larkwin-pack": "-rwxr-xr-x",
    "usr/share/doc/larkwin/changelog.gz": "-rw-r--r--",
    "usr/share/doc/larkwin/copyright": "-rw-r--r--",
    "usr/share/java/larkwin-app-%s.jar" % VERSION: "-rw-r--r--",
    "usr/share/java/larkwin-app.jar": "lrwxrwxrwx",
    "usr/share/lintian/overrides/larkwin": "-rw-r--r--",
    "usr/share/man/man1/larkwin-pack.1.gz": "-rw-r--r--",
    "usr/share/man/man1/larkwin.1.gz": "-rw-r--r--",
}
# larkwin-maven-plugin, where mvn built it.
if os.environ.get("PACKAGE_TEST_MAVEN_PLUGIN") == "ON":
    PLUGIN = "usr/share/maven-repo/com/larkwin/larkwin-maven-plugin/%s/larkwin-maven-plugin-%s" % (
        VERSION, VERSION)
    FILES.update({PLUGIN + ".jar": "-rw-r--r--", PLUGIN + ".pom": "-rw-r--r--",
                  "usr/share/maven-repo/com/larkwin/maven-metadata.xml": "-rw-r--r--"})


def run(*command, timeout=TIME_LIMIT, **options):
    return subprocess.run(list(command), capture_output=True, timeout=timeout, **options)


def checked(*command, **options):
    result = run(*command, **options)
    if result.returncode != 0:
        raise AssertionError("%s failed (%d): %s" % (command, result.returncode,
                                                    result.stderr.decode(errors="replace")))
    return result.stdout.decode()


def read(path):
    with open(path, "rb") as file:
        return file.read()


def has_interpreter(path):
    """True when the ELF file at path names a dynamic loader (PT_INTERP)."""
    data = read(path)
    offset, = struct.unpack_from("<Q", data, 0x20)
    entry_size, count = struct.unpack_from("<HH", data, 0x36)
    types = [struct.unpack_from("<L", data, offset + i * entry_size)[0] for i in range(count)]
    return 3 in types


class ContentsTest(unittest.TestCase):
    def field(self, name):
        return checked("dpkg-deb", "--field", DEB, name).strip()

    def test_name_says_version_and_architecture(self):
        architecture = checked("dpkg", "--print-architecture").strip()
        self.assertEqual("larkwin_%s_%s.deb" % (VERSION, architecture), os.path.basename(DEB))
        self.assertEqual(architecture, self.field("Architecture"))
        self.assertEqual(VERSION, self.field("Version"))
        self.assertEqual("larkwin", self.field("Package"))

    def test_every_file_is_listed_once_owned_by_root_with_its_mode(self):
        listed = {}
        for line in checked("dpkg-deb", "--contents", DEB).splitlines():
            mode, owner, _, _, _, name = line.split(None, 5)
            self.assertEqual("root/root", owner, line)
            name = name.split(" -> ")[0].lstrip("./")
            if not mode.startswith("d"):
                self.assertNotIn(name, listed)
                listed[name] = mode
            else:
                self.assertEqual("drwxr-xr-x", mode, line)
        self.assertEqual(FILES, listed)

    def test_java_is_recommended_and_the_libraries_are_dependencies(self):
        self.assertEqual("default-jre-headless | java-runtime-headless", self.field("Recommends"))
        depends = self.field("Depends")
        for library in ("libc6", "libstdc++6"):
            self.assertRegex(depends, r"(^|, )%s \(>= [^)]+\)" % re.escape(library))
        self.assertNotIn("java", depends)
        self.assertEqual("java", self.field("Section"))
        self.assertEqual("optional", self.field("Priority"))
        self.assertRegex(self.field("Maintainer"), r"^[^<>]+ <[^<>@]+@[^<>@]+>$")

    def test_description_has_a_synopsis_and_an_extended_text(self):
        lines = self.field("Description").splitlines()
        self.assertEqual("native launcher for Java applications", lines[0])
        self.assertGreater(len(lines), 3)
        for line in lines[1:]:
            self.assertTrue(line.startswith(" ") and len(line) <= 80, repr(line))


class UnpackedTest(unittest.TestCase):
    """The package's files, unpacked with dpkg -x into a scratch directory."""

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="larkwin-package-test-")
        self.addCleanup(shutil.rmtree, self.dir)
        self.root = os.path.join(self.dir, "root")
        checked("dpkg", "-x", DEB, self.root)

    def unpacked(self, name):
        return os.path.join(self.root, name)

    def test_man_pages_are_the_sources_compressed_without_name_or_time(self):
        for page in ("larkwin.1", "larkwin-pack.1"):
            compressed = read(self.unpacked("usr/share/man/man1/%s.gz" % page))
            magic, method, flags, mtime = struct.unpack_from("<HBBL", compressed)
            self.assertEqual((0x8B1F, 8, 0, 0), (magic, method, flags, mtime), page)
            self.assertEqual(read(os.path.join(SOURCE, "docs", page)),
                             gzip.decompress(compressed))

    def test_changelog_entry_is_for_this_version_in_debian_format(self):
        text = gzip.decompress(read(self.unpacked("usr/share/doc/larkwin/changelog.gz"))).decode()
        lines = text.splitlines()
        self.assertRegex(lines[0], r"^larkwin \(%s\) [a-z]+; urgency=[a-z]+$" % re.escape(VERSION))
        self.assertRegex(text, r"\n -- [^<>]+ <[^<>]+>  \w{3}, \d{2} \w{3} \d{4} [\d:]{8} \+0000\n")

    def test_copyright_is_machine_readable(self):
        text = read(self.unpacked("usr/share/doc/larkwin/copyright")).decode()
        self.assertTrue(text.startswith(
            "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"))
        self.assertIn("\nFiles: *\nCopyright: ", text)
        self.assertRegex(text, r"\nLicense: \S+\n ")

    def test_launcher_needs_no_dynamic_loader_and_the_jar_link_resolves(self):
        self.assertFalse(has_interpreter(self.unpacked("usr/bin/larkwin")))
        self.assertTrue(has_interpreter(self.unpacked("usr/bin/larkwin-pack")))
        self.assertEqual("larkwin-app-%s.jar" % VERSION,
                         os.readlink(self.unpacked("usr/share/java/larkwin-app.jar")))

    def test_unpacked_larkwin_pack_bundles_with_the_launcher_beside_it(self):
        pack = self.unpacked("usr/bin/larkwin-pack")
        self.assertEqual("larkwin-pack %s\n" % VERSION, checked(pack, "--version"))
        bundle = os.path.join(self.dir, "app")
        checked(pack, "-o", bundle, "--main-class", "Main", APP_JAR)
        launcher = read(self.unpacked("usr/bin/larkwin"))
        self.assertEqual(launcher, read(bundle)[:len(launcher)])
        environment = dict(os.environ, JAVA_HOME=JAVA_HOME)
        self.assertEqual("Main ran with a b\n", checked(bundle, "a", "b", env=environment))

    def test_bundle_uses_the_packaged_library_jar(self):
        classes = os.path.join(self.dir, "classes")
        source = os.path.join(self.dir, "WhereAmI.java")
        with open(source, "w") as file:
            file.write("public class WhereAmI { public static void main(String[] a) {"
                       " System.out.println(com.larkwin.app.Larkwin.executablePath().get()); } }")
        library = self.unpacked("usr/share/java/larkwin-app.jar")
        checked(JAVAC, "-cp", library, "-d", classes, source, timeout=120)
        jar = os.path.join(self.dir, "whereami.jar")
        checked(JAR, "cf", jar, "-C", classes, ".", timeout=120)
        config = os.path.join(self.dir, "app.config")
        with open(config, "w") as file:
            file.write("mainclass WhereAmI\naddpath %s\n" % library)
        bundle = os.path.join(self.dir, "whereami")
        checked(self.unpacked("usr/bin/larkwin-pack"), "-o", bundle, "--config", config, jar)
        environment = dict(os.environ, JAVA_HOME=JAVA_HOME)
        self.assertEqual(bundle + "\n", checked(bundle, env=environment))


class LintianTest(unittest.TestCase):
    def test_lintian_reports_no_error_and_no_warning(self):
        lintian = shutil.which("lintian")
        self.assertIsNotNone(lintian, "lintian is not installed: apt-get install lintian")
        result = run(lintian, "--fail-on", "none", DEB, timeout=LINTIAN_TIME_LIMIT)
        report = result.stdout.decode(errors="replace")
        self.assertEqual(0, result.returncode, result.stderr.decode(errors="replace"))
        self.assertEqual([], [line for line in report.splitlines() if line[:2] in ("E:", "W:")],
                         report)


if __name__ == "__main__":
    unittest.main()
