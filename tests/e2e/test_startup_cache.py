"""The start-up cache on real JDKs: the application's output and exit code
stay exactly those of a launch without the cache, whatever state the cache is
in, and the second start maps the application's classes from the archive the
first one trained. Here on JDK 17, which keeps a dynamic CDS archive;
test_startup_cache_newer.py runs the same cases on a newer JDK."""

import glob
import os
import re
import resource
import shutil
import signal
import subprocess
import unittest

from harness import JAVA, LARKWIN_PACK, TIMEOUT, LauncherTest

APP = """
package demo;
import java.nio.file.*;
public class App {
    public static void main(String[] args) throws Exception {
        System.out.println("out: " + Greeting.text() + " " + String.join("|", args));
        System.err.println("err: on the other stream");
        if (args.length == 2 && args[0].equals("restart-once")) {
            Path marker = Paths.get(args[1]);
            if (!Files.exists(marker)) {
                Files.createFile(marker);
                System.exit(3);
            }
        }
        System.exit(5);
    }
}
class Greeting {
    static String text() { return "%s"; }
}
"""


def feature_version(home):
    """The feature version that home/release names, or 0."""
    try:
        with open(os.path.join(home, "release")) as release:
            text = release.read()
    except OSError:
        return 0
    found = re.search(r'^JAVA_VERSION="(1\.)?(\d+)', text, re.M)
    return int(found.group(2)) if found else 0


def newer_java():
    """The java of the newest JDK 24 or later under /usr/lib/jvm, or None."""
    homes = [h for h in glob.glob("/usr/lib/jvm/*") if not os.path.islink(h)]
    found = sorted((feature_version(h), h) for h in homes if feature_version(h) >= 24)
    return os.path.join(found[-1][1], "bin", "java") if found else None


class StartupCacheCases:
    """The cases, for the java of the class that mixes them in."""

    java = None
    # How -Xlog:class+load names a class mapped from the archive.
    shared_source = None

    def setUp(self):
        super().setUp()
        self.jar = self.compile_java({"App.java": APP % "first"}, jar_name="app.jar")
        self.cache = self.path("cache")
        self.configure()

    def configure(self, cache_line="startupcache cache", extra=""):
        common = "javapath %s\naddpath app.jar\nmainclass demo.App\n%s" % (self.java, extra)
        self.write("plain.config", common)
        self.write("cached.config", common + cache_line + "\n")

    def start(self, config, *args, **options):
        return self.launch("+CONFIG", self.path(config), *args, **options)

    def plain(self, *args):
        return self.start("plain.config", *args)

    def cached(self, *args, **options):
        return self.start("cached.config", *args, **options)

    def assertSameAs(self, expected, result):
        self.assertEqual(expected.stdout, result.stdout)
        self.assertEqual(expected.stderr, result.stderr)
        self.assertEqual(expected.returncode, result.returncode)

    def cache_files(self):
        return sorted(os.listdir(self.cache)) if os.path.isdir(self.cache) else []

    def archives(self):
        return [n for n in self.cache_files() if n.endswith((".jsa", ".aot"))]

    def test_first_and_second_start_show_exactly_what_a_start_without_the_cache_shows(self):
        expected = self.plain("a", "b c")
        self.assertEqual(5, expected.returncode)
        self.assertEqual(b"out: first a|b c\n", expected.stdout)
        self.assertSameAs(expected, self.cached("a", "b c"))
        self.assertEqual(1, len(self.archives()), self.cache_files())
        self.assertEqual(self.archives(), self.cache_files())
        self.assertSameAs(expected, self.cached("a", "b c"))

    def test_second_start_maps_the_classes_and_the_users_own_log_still_works(self):
        self.configure(extra="vmparam -Xlog:class+load=info:file=%s\n" % self.path("load.txt"))
        expected = self.plain()
        first = self.cached()
        self.assertSameAs(expected, first)
        self.assertSameAs(expected, self.cached())
        with open(self.path("load.txt")) as log:
            loaded = log.read()
        self.assertIn("demo.App source: %s\n" % self.shared_source, loaded)
        self.assertIn("demo.Greeting source: %s\n" % self.shared_source, loaded)

    def test_debug_says_what_the_cache_did(self):
        first = self.cached("+DEBUG").stdout.decode()
        self.assertRegex(first, r"^startupcache: training '%s/App-[0-9a-f]{16}-[0-9a-f]{16}\.(jsa|aot)'\n"
                         % re.escape(self.cache))
        self.assertIn("startupcache: trained '", first)
        second = self.cached("+DEBUG").stdout.decode()
        self.assertTrue(second.startswith("startupcache: using '"), second)

    def test_a_restart_maps_what_the_first_run_trained(self):
        self.configure(extra="restartcode 3\nvmparam -Xlog:class+load=info:file=%s\n"
                       % self.path("load.txt"))
        result = self.cached("restart-once", self.path("marker"))
        self.assertEqual(5, result.returncode, result)
        self.assertEqual(b"out: first restart-once|%s\n" % self.path("marker").encode() * 2,
                         result.stdout)
        with open(self.path("load.txt")) as log:
            self.assertIn("demo.App source: %s\n" % self.shared_source, log.read())

    def test_a_changed_jar_runs_its_new_classes_and_the_old_archive_goes(self):
        self.cached()
        old = self.archives()
        self.assertEqual(1, len(old))
        replacement = self.compile_java({"App.java": APP % "second"}, jar_name="new.jar")
        os.replace(replacement, self.jar)
        expected = self.plain()
        self.assertEqual(b"out: second \n", expected.stdout)
        self.assertSameAs(expected, self.cached())
        self.assertEqual(1, len(self.archives()))
        self.assertNotEqual(old, self.archives())
        self.assertSameAs(expected, self.cached())

    def test_a_corrupt_or_truncated_archive_changes_nothing(self):
        expected = self.plain()
        self.cached()
        archive = os.path.join(self.cache, self.archives()[0])
        size = os.path.getsize(archive)
        os.chmod(archive, 0o600)
        os.truncate(archive, size // 2)
        self.assertSameAs(expected, self.cached())
        with open(self.path("cache", self.archives()[0]), "r+b") as damaged:
            damaged.seek(0)
            damaged.write(os.urandom(4096))
        self.assertSameAs(expected, self.cached())
        self.assertSameAs(expected, self.cached())

    def test_a_foreign_archive_under_the_launchs_own_name_changes_nothing(self):
        # Only by hand does an archive of another class path or another
        # runtime build get the name and the stamp of this launch's key.
        shutil.copy(self.jar, self.path("other.jar"))
        self.configure(extra="addpath other.jar\n")
        self.cached()
        foreign = [self.read_archive()]
        if NEWER_JAVA is not None and self.java != NEWER_JAVA:
            self.configure()
            self.write("newer.config", "javapath %s\naddpath app.jar\nmainclass demo.App\n"
                       "startupcache newer\n" % NEWER_JAVA)
            self.start("newer.config")
            foreign.append(self.read_archive("newer"))
        self.configure()
        expected = self.plain()
        self.cached()
        archive = os.path.join(self.cache, self.archives()[0])
        stamp = os.stat(archive).st_mtime_ns
        for content in foreign:
            os.chmod(archive, 0o600)
            with open(archive, "wb") as replaced:
                replaced.write(content)
            os.chmod(archive, 0o400)
            os.utime(archive, ns=(stamp, stamp))
            self.assertSameAs(expected, self.cached())
            self.assertIn("startupcache: using '", self.cached("+DEBUG").stdout.decode())

    def read_archive(self, directory="cache"):
        names = [n for n in os.listdir(self.path(directory)) if n.endswith((".jsa", ".aot"))]
        self.assertEqual(1, len(names))
        with open(self.path(directory, names[0]), "rb") as archive:
            return archive.read()

    def test_a_bundle_made_by_larkwin_pack_keeps_a_cache_of_its_own(self):
        if not os.path.exists(LARKWIN_PACK):
            self.skipTest("larkwin-pack is not built")
        bundle = self.path("bin", "app")
        os.makedirs(self.path("bin"))
        subprocess.run([LARKWIN_PACK, "-o", bundle, "--main-class", "demo.App", self.jar],
                       check=True, timeout=TIMEOUT, capture_output=True)
        log = "-J-Xlog:class+load=info:file=%s" % self.path("load.txt")
        path = {"PATH": os.path.dirname(self.java)}
        first = self.launch(log, "x", executable=bundle, env=path)
        self.assertEqual((b"out: first x\n", 5), (first.stdout, first.returncode))
        second = self.launch(log, "x", executable=bundle, env=path)
        self.assertSameAs(first, second)
        cache = self.path("cache-home", "larkwin")
        self.assertEqual(1, len(os.listdir(cache)))
        with open(self.path("load.txt")) as loaded:
            self.assertIn("demo.App source: %s\n" % self.shared_source, loaded.read())

    def test_a_cache_path_that_cannot_be_created_changes_nothing(self):
        self.write("file", "not a directory")
        self.configure(cache_line="startupcache file/cache")
        expected = self.plain()
        self.assertSameAs(expected, self.cached())
        self.assertSameAs(expected, self.cached())

    def test_a_cache_directory_that_others_may_write_to_is_not_used(self):
        os.mkdir(self.cache)
        os.chmod(self.cache, 0o777)
        expected = self.plain()
        self.assertSameAs(expected, self.cached())
        self.assertEqual([], self.cache_files())

    def test_no_training_where_a_write_could_fail(self):
        def limit_file_size():
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (65536, 65536))

        expected = self.plain()
        process = subprocess.run(**self.command(["+CONFIG", self.path("cached.config")]),
                                 capture_output=True, timeout=TIMEOUT, preexec_fn=limit_file_size)
        self.assertSameAs(expected, process)
        self.assertEqual([], self.cache_files())

    def test_options_that_take_sharing_over_make_the_cache_stand_aside(self):
        self.configure(extra="vmparam -Xshare:off\n")
        expected = self.plain()
        self.assertSameAs(expected, self.cached())
        self.assertEqual([], self.archives())

    def test_a_filled_class_path_directory_makes_the_cache_stand_aside(self):
        self.configure(extra="addpath classes\n")
        expected = self.plain()
        self.assertSameAs(expected, self.cached())
        self.assertEqual([], self.archives())

    def test_four_concurrent_first_starts_all_succeed_alike(self):
        expected = self.plain("x")
        starts = [subprocess.Popen(stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                   **self.command(["+CONFIG", self.path("cached.config"), "x"]))
                  for _ in range(4)]
        try:
            for start in starts:
                out, err = start.communicate(timeout=TIMEOUT * 2)
                self.assertEqual((expected.stdout, expected.stderr, expected.returncode),
                                 (out, err, start.returncode))
        finally:
            for start in starts:
                if start.poll() is None:
                    start.kill()
                    start.wait()
        self.assertEqual(1, len(self.archives()))
        self.assertEqual(self.archives(), self.cache_files())
        self.assertSameAs(expected, self.cached("x"))


class StartupCacheJdk17(StartupCacheCases, LauncherTest):
    java = JAVA
    shared_source = "shared objects file (top)"


NEWER_JAVA = newer_java()


if __name__ == "__main__":
    unittest.main()
