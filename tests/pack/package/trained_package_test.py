#!/usr/bin/env python3
"""Packages trained when they are made (--deb/--rpm --train): a .deb unpacked
elsewhere with dpkg-deb -x (packed file times kept, nothing installed) maps
the shipped archive at its first start and prints and exits as without it.
Runtimes whose archives do not survive a move are refused. The environment
is package_test.py's."""

import glob
import os
import shutil
import subprocess
import tempfile
import unittest

PACK = os.environ.get("PACKAGE_TEST_PACK", "")
DEMO_JAR = os.environ.get("PACKAGE_TEST_DEMO_JAR", "")
JDK25 = "/usr/lib/jvm/temurin-25-jdk-amd64"
JDK17 = "/usr/lib/jvm/java-17-openjdk-amd64"
NAME = "larkwin-test-trained"
MAPPED = "com.larkwin.demo.Demo source: shared objects file"
TIME_LIMIT = 600


def pack(work, jdk, *formats):
    with open(os.path.join(work, "LICENSE"), "w") as file:
        file.write("Copyright 2026 the larkwin authors\n\nMIT License\n")
    # The packing user's own settings, which the training must not read:
    # with another collector its archive would match no user's start.
    os.makedirs(os.path.join(work, "config", NAME))
    with open(os.path.join(work, "config", NAME, NAME + ".config"), "w") as file:
        file.write("vmparam -XX:+UseParallelGC\n")
    # Dated as a reproducible build is: dpkg-deb clamps the file times.
    environment = dict(os.environ, JAVA_HOME=jdk, DPKG_DEB_COMPRESSOR_LEVEL="1",
                       SOURCE_DATE_EPOCH="1700000000", XDG_CONFIG_HOME=work + "/config",
                       XDG_CACHE_HOME=work + "/cache")
    return subprocess.run(
        [PACK, *formats, "--name", NAME, "--app-version", "1.0", "--maintainer",
         "Tests <tests@example.org>", "--license-file", work + "/LICENSE", "--license", "MIT",
         "--description", "a trained demo", "--main-class", "com.larkwin.demo.Demo", DEMO_JAR,
         "--train", "--", "trained"], capture_output=True, timeout=TIME_LIMIT, env=environment)


def archive_lines(command, package):
    listed = subprocess.run([*command, package], capture_output=True, text=True,
                            timeout=TIME_LIMIT, check=True).stdout.splitlines()
    return [line for line in listed if "/opt/%s/lib/startupcache/" % NAME in line
            and line.endswith(".jsa")]


class TrainedPackageTest(unittest.TestCase):

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="larkwin-trained-package-")
        self.addCleanup(shutil.rmtree, self.work, True)

    def start(self, copy, *args, cache="wait"):
        """A start of the unpacked copy with an empty user cache of its own."""
        caches = tempfile.mkdtemp(dir=self.work)
        log = os.path.join(caches, "classes.log")
        result = subprocess.run(
            [os.path.join(copy, "opt", NAME, "bin", NAME), "-J-Xlog:class+load:file=" + log,
             *args], capture_output=True, timeout=TIME_LIMIT, cwd=caches,
            env={"PATH": "/usr/bin:/bin", "HOME": caches, "XDG_CACHE_HOME": caches,
                 "LARKWIN_STARTUP_CACHE": cache})
        with open(log) as classes:
            return result, MAPPED in classes.read(), glob.glob(caches + "/larkwin/*.jsa")

    def test_a_deb_unpacked_elsewhere_maps_its_archive_and_an_rpm_lists_it(self):
        if not os.path.exists(os.path.join(JDK25, "bin", "jlink")):
            self.skipTest("no Temurin 25 in %s" % JDK25)
        packed = pack(self.work, JDK25, "--deb", self.work, "--rpm", self.work)
        self.assertEqual(0, packed.returncode, packed)
        deb, = glob.glob(self.work + "/*.deb")
        shipped = archive_lines(["dpkg-deb", "-c"], deb)
        self.assertEqual(1, len(shipped))
        self.assertTrue(shipped[0].startswith("-r--r--r-- root/root "), shipped)
        shipped = archive_lines(["rpm", "-qplv"], glob.glob(self.work + "/*.rpm")[0])
        self.assertRegex(shipped[0], r"^-r--r--r-- +1 root +root ")
        copy = os.path.join(self.work, "copy")
        subprocess.run(["dpkg-deb", "-x", deb, copy], timeout=TIME_LIMIT, check=True)
        for args in [("one", "two"), ("--serve", "x")]:
            cached, mapped, made = self.start(copy, *args)
            plain, plainMapped, _ = self.start(copy, *args, cache="off")
            self.assertEqual((plain.returncode, plain.stdout, plain.stderr),
                             (cached.returncode, cached.stdout, cached.stderr))
            self.assertEqual((True, False, []), (mapped, plainMapped, made))
        debug, _, _ = self.start(copy, "+DEBUG")
        self.assertIn("startupcache: using the image's '%s/opt/%s/lib/startupcache/"
                      % (copy, NAME), debug.stdout.decode())
        with open(os.path.join(copy, "usr/share/lintian/overrides", NAME)) as file:
            self.assertIn("%s: non-standard-file-perm 0444 != 0644 [opt/%s/lib/startupcache/"
                          "*.jsa]" % (NAME, NAME), file.read().splitlines())

    def test_a_runtime_whose_archives_do_not_survive_a_move_is_refused(self):
        if not os.path.exists(os.path.join(JDK17, "bin", "java")):
            self.skipTest("no JDK 17 in %s" % JDK17)
        result = pack(self.work, JDK17, "--deb", self.work)
        self.assertEqual(1, result.returncode, result)
        self.assertEqual(
            "larkwin-pack: --train with --deb or --rpm needs a runtime of Java 25 or later; the "
            "runtime in '%s' is of Java 17, whose start-up archive maps only from the directory "
            "it was trained in, so it would not map once the package is installed\n"
            % os.path.realpath(JDK17), result.stderr.decode())
        self.assertEqual(["LICENSE", "config"], sorted(os.listdir(self.work)), "nothing is made")


if __name__ == "__main__":
    unittest.main()
