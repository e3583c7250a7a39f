#!/usr/bin/env python3
"""Packages trained when they are made (larkwin-pack --deb/--rpm --train):
the package ships a start-up archive, and a copy unpacked elsewhere, with
the packed file times, maps it at its first start and prints and exits as
without it. Nothing is installed: the packages are unpacked with dpkg-deb
-x and rpm2cpio. Runtimes whose archives do not survive a move are refused.

The environment is package_test.py's (PACKAGE_TEST_PACK, PACKAGE_TEST_DEMO_JAR)."""

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
MAIN_CLASS = "com.larkwin.demo.Demo"
# jlink, one training run and two packages compressed.
PACK_TIME_LIMIT = 600
TIME_LIMIT = 120


def pack(work, jdk, *formats):
    licence = os.path.join(work, "LICENSE")
    with open(licence, "w") as file:
        file.write("Copyright 2026 the larkwin authors\n\nMIT License\n")
    # Settings of the packing user's own, which the training run must not
    # read: with another collector its archive would match no user's start.
    settings = os.path.join(work, "packing-config")
    os.makedirs(os.path.join(settings, NAME))
    with open(os.path.join(settings, NAME, NAME + ".config"), "w") as file:
        file.write("vmparam -XX:+UseParallelGC\n")
    environment = dict(os.environ, JAVA_HOME=jdk, DPKG_DEB_COMPRESSOR_LEVEL="1",
                       XDG_CACHE_HOME=os.path.join(work, "packing-cache"),
                       XDG_CONFIG_HOME=settings)
    return subprocess.run(
        [PACK] + list(formats) + [
            "--name", NAME, "--app-version", "1.0", "--maintainer",
            "Larkwin Tests <tests@example.org>", "--license-file", licence, "--license", "MIT",
            "--description", "a trained demo", "--main-class", MAIN_CLASS, DEMO_JAR,
            "--train", "--", "trained"],
        capture_output=True, timeout=PACK_TIME_LIMIT, env=environment)


def shipped_archives(listing):
    """The lines of a package's listing that name an archive the image ships."""
    return [line for line in listing.splitlines()
            if "/opt/%s/lib/startupcache/" % NAME in line and line.endswith(".jsa")]


def unpack_rpm(package, target):
    os.makedirs(target)
    payload = subprocess.run(["rpm2cpio", package], capture_output=True, timeout=TIME_LIMIT)
    if payload.returncode != 0:
        raise AssertionError(payload.stderr)
    # -m keeps the packed modification times, as rpm does when it installs.
    subprocess.run(["cpio", "-idm", "--quiet"], input=payload.stdout, cwd=target,
                   timeout=TIME_LIMIT, check=True)


class TrainedPackageTest(unittest.TestCase):
    """One .deb and one .rpm of the demo, trained on JDK 25, for the class."""

    @classmethod
    def setUpClass(cls):
        if not os.path.exists(os.path.join(JDK25, "bin", "jlink")):
            raise unittest.SkipTest("no Temurin 25 in %s" % JDK25)
        cls.work = tempfile.mkdtemp(prefix="larkwin-trained-package-")
        # Dated as a reproducible build would be: dpkg-deb clamps file times.
        os.environ["SOURCE_DATE_EPOCH"] = "1700000000"
        try:
            cls.packed = pack(cls.work, JDK25, "--deb", cls.work, "--rpm", cls.work)
        finally:
            del os.environ["SOURCE_DATE_EPOCH"]
        if cls.packed.returncode != 0:
            shutil.rmtree(cls.work, True)
            raise AssertionError(cls.packed)
        cls.deb = glob.glob(os.path.join(cls.work, "*.deb"))[0]
        cls.rpm = glob.glob(os.path.join(cls.work, "*.rpm"))[0]

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, True)

    def setUp(self):
        self.scratch = tempfile.mkdtemp(prefix="larkwin-trained-run-")
        self.addCleanup(shutil.rmtree, self.scratch, True)

    def start(self, copy, *args, cache="on"):
        """A start of the unpacked copy with an empty user cache of its own;
        an archive it made there would be made before it ends."""
        caches = tempfile.mkdtemp(dir=self.scratch)
        environment = {"PATH": "/usr/bin:/bin", "HOME": caches, "XDG_CACHE_HOME": caches,
                       "LARKWIN_STARTUP_CACHE": "wait" if cache == "on" else "off"}
        log = os.path.join(caches, "classes.log")
        launcher = os.path.join(copy, "opt", NAME, "bin", NAME)
        result = subprocess.run([launcher, "-J-Xlog:class+load:file=" + log] + list(args),
                                capture_output=True, timeout=TIME_LIMIT, env=environment,
                                cwd=caches)
        with open(log) as classes:
            loaded = classes.read()
        archives = glob.glob(os.path.join(caches, "larkwin", "*.jsa"))
        return result, loaded, archives

    def assertMapsTheShippedArchive(self, copy):
        for args in [("one", "two"), ("--serve", "x")]:
            cached, loaded, made = self.start(copy, *args)
            plain, plainLoaded, _ = self.start(copy, *args, cache="off")
            self.assertEqual(plain.returncode, cached.returncode, cached)
            self.assertEqual(plain.stdout, cached.stdout)
            self.assertEqual(plain.stderr, cached.stderr)
            mapped = "%s source: shared objects file" % MAIN_CLASS
            self.assertTrue(mapped in loaded, "the main class is not the archive's")
            self.assertFalse(mapped in plainLoaded, "without the cache, no archive is mapped")
            self.assertEqual([], made, "the user's cache makes no archive of its own")
        shipped = glob.glob(os.path.join(copy, "opt", NAME, "lib", "startupcache", "*.jsa"))
        self.assertEqual(1, len(shipped), shipped)
        debug, _, _ = self.start(copy, "+DEBUG")
        self.assertIn("startupcache: using the image's '%s', which matches this start"
                      % shipped[0], debug.stdout.decode())

    def test_both_packages_ship_the_archive_owned_by_root_and_read_only(self):
        self.assertIn(b"training the start-up archive", self.packed.stdout)
        listed = subprocess.run(["dpkg-deb", "-c", self.deb], capture_output=True, text=True,
                                timeout=TIME_LIMIT, check=True).stdout
        archives = shipped_archives(listed)
        self.assertEqual(1, len(archives), listed)
        self.assertTrue(archives[0].startswith("-r--r--r-- root/root "), archives[0])
        listed = subprocess.run(["rpm", "-qplv", self.rpm], capture_output=True, text=True,
                                timeout=TIME_LIMIT, check=True).stdout
        archives = shipped_archives(listed)
        self.assertEqual(1, len(archives), listed)
        self.assertRegex(archives[0], r"^-r--r--r-- +1 root +root ")

    def test_a_deb_unpacked_elsewhere_maps_the_shipped_archive(self):
        copy = os.path.join(self.scratch, "deb")
        subprocess.run(["dpkg-deb", "-x", self.deb, copy], timeout=TIME_LIMIT, check=True)
        self.assertMapsTheShippedArchive(copy)
        with open(os.path.join(copy, "usr", "share", "lintian", "overrides", NAME)) as file:
            overrides = file.read().splitlines()
        self.assertIn("%s: non-standard-file-perm 0444 != 0644 [opt/%s/lib/startupcache/*.jsa]"
                      % (NAME, NAME), overrides)

    def test_an_rpm_unpacked_elsewhere_maps_the_shipped_archive(self):
        if shutil.which("cpio") is None:
            self.skipTest("needs cpio to unpack the .rpm without installing it")
        copy = os.path.join(self.scratch, "rpm")
        unpack_rpm(self.rpm, copy)
        self.assertMapsTheShippedArchive(copy)


class RefusedTrainingTest(unittest.TestCase):

    def test_a_runtime_whose_archives_do_not_survive_a_move_is_refused(self):
        if not os.path.exists(os.path.join(JDK17, "bin", "java")):
            self.skipTest("no JDK 17 in %s" % JDK17)
        work = tempfile.mkdtemp(prefix="larkwin-trained-refused-")
        self.addCleanup(shutil.rmtree, work, True)
        result = pack(work, JDK17, "--deb", work)
        self.assertEqual(1, result.returncode, result)
        self.assertEqual(
            "larkwin-pack: --train with --deb or --rpm needs a runtime of Java 25 or later; the "
            "runtime in '%s' is of Java 17, whose start-up archive maps only from the directory "
            "it was trained in, so it would not map once the package is installed\n"
            % os.path.realpath(JDK17), result.stderr.decode())
        self.assertEqual(["LICENSE", "packing-config"], sorted(os.listdir(work)),
                         "nothing is made")


if __name__ == "__main__":
    unittest.main()
