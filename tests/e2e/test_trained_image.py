"""App images trained when they are packed (larkwin-pack --train -- ARGS):
the image ships a start-up archive for its own runtime, a user's first start
maps it read-only, and the application prints and exits exactly as without
it, also when the image was moved or its archive damaged. The image copies
the JDK (--runtime HOME), which takes seconds where jlink takes many."""

import glob
import os
import re
import shutil
import subprocess
import tempfile
import unittest

from harness import LARKWIN_PACK, TIMEOUT

DEMO_JAR = os.environ.get("LARKWIN_DEMO_JAR", "")
MAIN_CLASS = "com.larkwin.demo.Demo"
# Copying a runtime and one training run of the demo.
PACK_TIMEOUT = 300


def pack(image, home, *train):
    return subprocess.run(
        [LARKWIN_PACK, "--app-image", image, "--name", "demo", "--runtime", home,
         "--main-class", MAIN_CLASS, DEMO_JAR, "--train", "--"] + list(train),
        capture_output=True, timeout=PACK_TIMEOUT)


class TrainedImageCases:
    """The cases, for the JDK home of the class that mixes them in."""

    home = None
    # Whether an archive still maps after its image was moved.
    moves = None
    # Whether the training run records the method profiles, the archive is
    # an AOT cache made from them, and starts map it as one.
    profiles = None

    @classmethod
    def setUpClass(cls):
        if not os.path.exists(os.path.join(cls.home, "bin", "java")):
            raise unittest.SkipTest("no JDK in %s" % cls.home)
        cls.top = os.path.realpath(tempfile.mkdtemp(prefix="larkwin-trained-"))
        cls.image = os.path.join(cls.top, "image")
        cls.packed = pack(cls.image, cls.home, "trained")
        if cls.packed.returncode != 0:
            shutil.rmtree(cls.top, True)
            raise AssertionError(cls.packed)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.top, True)

    def setUp(self):
        self.caches = tempfile.mkdtemp(prefix="larkwin-trained-cache-")
        self.addCleanup(shutil.rmtree, self.caches, True)
        self.runs = 0

    def start(self, *args, image=None, env=None, launcher=None):
        """A start of the image with a cache of its own, empty unless given;
        an archive it makes there is made before it ends, so that no
        process outlives the test."""
        self.runs += 1
        environment = dict(os.environ)
        environment.pop("JAVA_HOME", None)
        environment["XDG_CACHE_HOME"] = os.path.join(self.caches, str(self.runs))
        environment["LARKWIN_STARTUP_CACHE"] = "wait"
        environment.update(env or {})
        launcher = launcher or os.path.join(image or self.image, "bin", "demo")
        return subprocess.run([launcher] + list(args), capture_output=True, timeout=TIMEOUT,
                              env=environment, cwd=self.caches)

    def shipped(self, image=None):
        return glob.glob(os.path.join(image or self.image, "lib", "startupcache", "*.jsa"))

    def assertSameAsWithout(self, *args, image=None, launcher=None, env=None):
        """The start with the cache prints and exits as one without it; the
        classes it loaded, from a log file beside it."""
        log = os.path.join(self.caches, "classes-%d.log" % (self.runs + 1))
        option = "-J-Xlog:class+load:file=" + log
        cached = self.start(option, *args, image=image, launcher=launcher, env=env)
        plain = self.start(option + ".off", *args, image=image, launcher=launcher,
                           env=dict(env or {}, LARKWIN_STARTUP_CACHE="off"))
        self.assertEqual(plain.returncode, cached.returncode, cached)
        self.assertEqual(plain.stdout, cached.stdout)
        self.assertEqual(plain.stderr, cached.stderr)
        self.assertEqual([], glob.glob(os.path.join(self.caches, "hs_err_pid*.log")))
        with open(log) as cachedLog, open(log + ".off") as plainLog:
            return cachedLog.read(), plainLog.read()

    def debug(self, image=None, launcher=None, env=None):
        result = self.start("+DEBUG", image=image, launcher=launcher, env=env)
        self.assertEqual(0, result.returncode, result)
        return [line for line in result.stdout.decode().splitlines()
                if line.startswith("startupcache: ")]

    def test_the_image_ships_one_archive_that_every_user_may_read(self):
        self.assertIn(b"training the start-up archive", self.packed.stdout)
        self.assertIn(b"trained", self.packed.stderr, "the training run's output is shown")
        archives = self.shipped()
        self.assertEqual(1, len(archives))
        self.assertEqual(0o444, os.stat(archives[0]).st_mode & 0o777)
        self.assertEqual(0o644, os.stat(archives[0] + ".info").st_mode & 0o777)
        leftovers = set(os.listdir(os.path.dirname(archives[0]))) - {
            os.path.basename(archives[0]), os.path.basename(archives[0]) + ".info"}
        self.assertEqual(set(), leftovers, "no class list, lock or temporary file")

    def test_the_first_start_maps_the_shipped_archive_and_changes_nothing(self):
        cached, plain = self.assertSameAsWithout("one", "two")
        self.assertIn("%s source: shared objects file" % MAIN_CLASS, cached)
        self.assertNotIn("%s source: shared objects file" % MAIN_CLASS, plain)
        self.assertEqual([], glob.glob(os.path.join(self.caches, "1", "larkwin", "*.jsa")),
                         "the user's cache makes no archive of its own")
        self.assertIn("startupcache: using the image's '%s', which matches this start"
                      % self.shipped()[0], self.debug())
        # An exit status of the application's own, and its message.
        self.assertSameAsWithout("--serve", "x")

    def test_profiles_are_recorded_and_compared_where_the_runtime_replays_them(self):
        """On JDK 25 the training run records profiles, the image is trained
        again without them, and the archive that started cheaper is shipped;
        either maps with -XX:AOTCache, under which the JVM replays them."""
        recorded = b"AOTConfiguration recorded: " in self.packed.stderr
        self.assertEqual(self.profiles, recorded, self.packed.stderr)
        compared = re.search(rb"larkwin-pack: a start took \d+\.\d\d s of CPU time with the "
                             rb"method profiles, \d+\.\d\d s without them \(medians of 5\): "
                             rb"shipping the archive with(out)? them\n", self.packed.stdout)
        self.assertEqual(self.profiles, compared is not None, self.packed.stdout)
        flag = "-XX:AOTCache=" if self.profiles else "-XX:SharedArchiveFile="
        result = self.start("+DEBUG", "profiled")
        self.assertIn((" %s%s " % (flag, self.shipped()[0])).encode(), result.stdout)
        cached, _ = self.assertSameAsWithout("profiled")
        self.assertIn("%s source: shared objects file" % MAIN_CLASS, cached)

    def test_a_link_to_the_launcher_maps_the_shipped_archive(self):
        """As a package's /usr/bin/NAME (a link to /opt/NAME/bin/NAME) starts
        it: by its path, as the menu entry's command does, or by its name
        along PATH."""
        links = os.path.join(self.top, "usr", "bin")
        os.makedirs(links, exist_ok=True)
        link = os.path.join(links, "demo")
        if not os.path.islink(link):
            os.symlink(os.path.join(self.image, "bin", "demo"), link)
        along_path = {"PATH": links + os.pathsep + os.environ.get("PATH", "")}
        for launcher, env in ((link, None), ("demo", along_path)):
            cached, _ = self.assertSameAsWithout("linked", launcher=launcher, env=env)
            self.assertTrue("%s source: shared objects file" % MAIN_CLASS in cached, launcher)
            self.assertIn("startupcache: using the image's '%s', which matches this start"
                          % self.shipped()[0], self.debug(launcher=launcher, env=env))

    def test_a_moved_image_maps_its_archive_only_where_the_runtime_allows(self):
        moved = os.path.join(self.top, "moved", "elsewhere")
        os.makedirs(os.path.dirname(moved))
        os.rename(self.image, moved)
        self.addCleanup(shutil.rmtree, os.path.dirname(moved), True)
        self.addCleanup(os.rename, moved, self.image)
        cached, _ = self.assertSameAsWithout("moved", image=moved)
        lines = self.debug(image=moved)
        if self.moves:
            self.assertIn("%s source: shared objects file" % MAIN_CLASS, cached)
            self.assertIn("startupcache: using the image's '%s', which matches this start"
                          % self.shipped(moved)[0], lines)
        else:
            self.assertNotIn("%s source: shared objects file" % MAIN_CLASS, cached)
            self.assertTrue(lines[0].startswith("startupcache: none of the image's archives "
                                                "matches this start"), lines)
            self.assertTrue(lines[1].startswith("startupcache: recording the classes for '%s/"
                                                % self.caches), lines)

    def test_a_damaged_shipped_archive_is_not_mapped(self):
        archive = self.shipped()[0]
        with open(archive, "rb") as original:
            content = original.read()

        def restore():
            os.chmod(archive, 0o644)
            with open(archive, "wb") as out:
                out.write(content)
            os.chmod(archive, 0o444)
        self.addCleanup(restore)
        noted = {"XDG_CACHE_HOME": os.path.join(self.caches, "noted")}
        self.assertEqual(0, self.start(env=noted).returncode, "a first start notes it as sound")
        os.chmod(archive, 0o644)
        with open(archive, "r+b") as out:
            out.seek(len(content) // 2)
            out.write(bytes(65536))
        os.chmod(archive, 0o444)
        cached, _ = self.assertSameAsWithout("damaged")
        self.assertNotIn("%s source: shared objects file" % MAIN_CLASS, cached)
        for environment in (noted, {}):
            after = self.start("+DEBUG", env=environment)
            self.assertEqual(0, after.returncode, after)
            self.assertIn("startupcache: not using the image's '%s': it is not of its record's "
                          "size and checksum" % archive, after.stdout.decode())


class TrainedImageJdk17(TrainedImageCases, unittest.TestCase):
    home = "/usr/lib/jvm/java-17-openjdk-amd64"
    moves = False
    profiles = False

    def test_a_training_run_that_fails_leaves_no_image(self):
        image = os.path.join(self.caches, "failed")
        result = pack(image, self.home, "--serve", "x")
        self.assertEqual(1, result.returncode, result)
        self.assertIn(b"larkwin-pack: the training run '%s/bin/demo --serve x' ended with "
                      b"exit status 2" % image.encode(), result.stderr)
        self.assertFalse(os.path.exists(image))


class TrainedImageJdk25(TrainedImageCases, unittest.TestCase):
    home = "/usr/lib/jvm/temurin-25-jdk-amd64"
    moves = True
    profiles = True


if __name__ == "__main__":
    unittest.main()
