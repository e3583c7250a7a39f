"""The start-up cache on real JDKs: the application's output and exit code
stay exactly those of a launch without the cache, whatever state the cache is
in, and the second start maps the application's classes from the archive the
first one recorded. Here on JDK 17; test_startup_cache_newer.py runs the
same cases on a newer JDK."""

import fcntl
import glob
import os
import re
import resource
import shutil
import signal
import subprocess
import unittest
import zipfile

from harness import JAVA, JAVA_HOME, LARKWIN_PACK, TIMEOUT, LauncherTest, feature_version

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


# An application that loads its plugin with a class loader of its own, from a
# jar that is not on its class path.
LOADER_APP = """
package demo;
import java.net.*;
import java.nio.file.*;
public class Loads {
    public static void main(String[] args) throws Exception {
        URL jar = Paths.get(args[0]).toUri().toURL();
        try (URLClassLoader loader = new URLClassLoader(new URL[] {jar})) {
            Object plugin = loader.loadClass("plugin.Plugin").getDeclaredConstructor().newInstance();
            System.out.println("plugin: " + plugin);
        }
    }
}
"""

PLUGIN = """
package plugin;
public class Plugin implements Runnable {
    public void run() {}
    public String toString() { return "%s"; }
}
"""


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

    def archive_sets(self):
        """Each archive with its record and lock, as the assembly leaves them."""
        return sorted(n + ending for n in self.archives() for ending in ("", ".info", ".lock"))

    def wait_for_assembly(self):
        """Waits until no assembly holds the lock of an archive of the cache:
        the launcher takes it before it ends, the assembly keeps it to its end."""
        def give_up(*_):
            raise TimeoutError("the assembly took too long")

        previous = signal.signal(signal.SIGALRM, give_up)
        signal.alarm(TIMEOUT * 2)
        try:
            for lock in glob.glob(os.path.join(self.cache, "*.lock")):
                with open(lock) as held:
                    fcntl.flock(held, fcntl.LOCK_EX)
        finally:
            signal.alarm(0)
            signal.signal(signal.SIGALRM, previous)

    def trained(self, *args, **options):
        """A first start, then the assembly it left."""
        result = self.cached(*args, **options)
        self.wait_for_assembly()
        return result

    def test_the_second_start_maps_the_first_starts_classes_and_both_show_what_plain_java_shows(self):
        self.configure(extra="vmparam -Xlog:class+load=info:file=%s\n" % self.path("load.txt"))
        expected = self.plain("a", "b c")
        self.assertEqual(5, expected.returncode)
        self.assertEqual(b"out: first a|b c\n", expected.stdout)
        first = self.trained("+DEBUG", "a", "b c")
        said = first.stdout.decode()
        self.assertRegex(said, r"^startupcache: recording the classes for "
                         r"'%s/App-[0-9a-f]{16}-[0-9a-f]{16}\.jsa'\n" % re.escape(self.cache))
        self.assertIn("startupcache: assembling '", said)
        self.assertIn(expected.stdout.decode(), said)
        self.assertEqual((expected.stderr, expected.returncode), (first.stderr, first.returncode))
        self.assertEqual(1, len(self.archives()), self.cache_files())
        self.assertEqual(self.archive_sets(), self.cache_files())
        self.assertSameAs(expected, self.cached("a", "b c"))
        with open(self.path("load.txt")) as log:
            loaded = log.read()
        self.assertIn("demo.App source: %s\n" % self.shared_source, loaded)
        self.assertIn("demo.Greeting source: %s\n" % self.shared_source, loaded)
        self.assertTrue(self.cached("+DEBUG").stdout.decode().startswith("startupcache: using '"))

    def plugin_jar(self, text):
        """plugin.jar, out of the class path, whose Plugin says text."""
        source = self.path("plugin-src")
        os.makedirs(os.path.join(source, "plugin"), exist_ok=True)
        with open(os.path.join(source, "plugin", "Plugin.java"), "w") as out:
            out.write(PLUGIN % text)
        classes = self.path("plugin-classes")
        shutil.rmtree(classes, ignore_errors=True)
        subprocess.run([os.path.join(os.path.dirname(self.java), "javac"), "-d", classes,
                        os.path.join(source, "plugin", "Plugin.java")], check=True,
                       timeout=TIMEOUT)
        jar = self.path("plugin.jar")
        subprocess.run([os.path.join(os.path.dirname(self.java), "jar"), "cf", jar + ".new",
                        "-C", classes, "."], check=True, timeout=TIMEOUT)
        os.replace(jar + ".new", jar)
        return jar

    def test_classes_of_the_applications_own_loader_are_mapped_until_their_jar_changes(self):
        self.compile_java({"Loads.java": LOADER_APP}, jar_name="app.jar")
        plugin = self.plugin_jar("first")
        log = self.path("load.txt")
        self.configure(extra="mainclass demo.Loads\naddparam %s\n"
                       "vmparam -Xlog:class+load=info:file=%s\n" % (plugin, log))
        for text in ("first", "other"):
            if text == "other":
                self.plugin_jar(text)
            expected = self.plain()
            self.assertEqual(("plugin: %s\n" % text).encode(), expected.stdout)
            self.trained()
            self.assertSameAs(expected, self.cached())
            with open(log) as loaded:
                source = re.search(r"\] plugin\.Plugin source: (.*)$", loaded.read(), re.M)[1]
            self.assertEqual(self.shared_source if text == "first" else "file:" + plugin, source)

    def test_a_restart_maps_what_the_first_run_trained(self):
        self.configure(extra="restartcode 3\nvmparam -Xlog:class+load=info:file=%s\n"
                       % self.path("load.txt"))
        # The restart waits for the assembly only because it is told to.
        result = self.cached("restart-once", self.path("marker"),
                             env={"LARKWIN_STARTUP_CACHE": "wait"})
        self.assertEqual(5, result.returncode, result)
        self.assertEqual(b"out: first restart-once|%s\n" % self.path("marker").encode() * 2,
                         result.stdout)
        with open(self.path("load.txt")) as log:
            self.assertIn("demo.App source: %s\n" % self.shared_source, log.read())

    def test_a_changed_jar_runs_its_new_classes_with_an_archive_of_its_own(self):
        self.trained()
        old = self.archives()
        self.assertEqual(1, len(old))
        replacement = self.compile_java({"App.java": APP % "second"}, jar_name="new.jar")
        os.replace(replacement, self.jar)
        expected = self.plain()
        self.assertEqual(b"out: second \n", expected.stdout)
        self.assertSameAs(expected, self.trained())
        self.assertEqual(2, len(self.archives()))
        self.assertSameAs(expected, self.cached())

    def test_a_jar_of_the_same_size_and_time_runs_its_new_classes(self):
        """Two packages built with the same SOURCE_DATE_EPOCH: the JVM checks
        only a jar's size and time, so the key tells the new jar itself."""
        def stored_jar(text, name):
            classes = self.compile_java({"App.java": APP % text})
            with zipfile.ZipFile(self.path(name), "w", zipfile.ZIP_STORED) as jar:
                for folder, _, files in sorted(os.walk(classes)):
                    for file in sorted(files):
                        full = os.path.join(folder, file)
                        entry = zipfile.ZipInfo(os.path.relpath(full, classes), (2020, 1, 1, 0, 0, 0))
                        with open(full, "rb") as content:
                            jar.writestr(entry, content.read())
            return self.path(name)

        os.replace(stored_jar("first", "first.jar"), self.jar)
        os.utime(self.jar, (1600000000, 1600000000))
        self.trained()
        for text, way in (("fyrst", "written in place"), ("first", "replaced")):
            new = stored_jar(text, "new.jar")
            self.assertEqual(os.path.getsize(self.jar), os.path.getsize(new))
            if way == "replaced":
                os.replace(new, self.jar)
            else:
                with open(new, "rb") as source, open(self.jar, "r+b") as target:
                    target.write(source.read())
            os.utime(self.jar, (1600000000, 1600000000))
            expected = self.plain()
            self.assertEqual(b"out: %s \n" % text.encode(), expected.stdout, way)
            self.assertSameAs(expected, self.trained())
            self.assertSameAs(expected, self.cached())

    def damage_and_compare(self, damage):
        expected = self.plain()
        if not self.archives():
            self.trained()
        archive = os.path.join(self.cache, self.archives()[0])
        # Damage that leaves the modification time as it was, as a copy
        # with its times kept or a tool that restores them does.
        before = os.stat(archive)
        os.chmod(archive, 0o600)
        damage(archive)
        os.chmod(archive, 0o400)
        os.utime(archive, ns=(before.st_atime_ns, before.st_mtime_ns))
        self.assertSameAs(expected, self.cached())
        self.assertEqual([], glob.glob(self.path("hs_err_pid*")))
        self.wait_for_assembly()
        self.assertIn("startupcache: using '", self.cached("+DEBUG").stdout.decode(),
                      "recorded and assembled again")

    def test_a_cut_or_zeroed_archive_changes_nothing_and_is_made_again(self):
        def zeros(archive):
            with open(archive, "r+b") as damaged:
                damaged.seek(os.path.getsize(archive) // 2)
                damaged.write(bytes(65536))
        self.damage_and_compare(lambda archive: os.truncate(archive, os.path.getsize(archive) * 3 // 4))
        self.damage_and_compare(zeros)

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
        self.cache = cache = self.path("cache-home", "larkwin")
        self.wait_for_assembly()
        second = self.launch(log, "x", executable=bundle, env=path)
        self.assertSameAs(first, second)
        self.assertEqual(1, len(self.archives()), os.listdir(cache))
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
        self.wait_for_assembly()
        self.assertEqual(1, len(self.archives()))
        self.assertEqual(self.archive_sets(), self.cache_files())
        self.assertSameAs(expected, self.cached("x"))

    def test_options_that_keep_the_base_archive_from_loading_make_the_cache_stand_aside(self):
        # JDK 17 refused to start when asked to write an archive on top of a
        # base archive it did not load; JDK 25 warns, and that warning stays.
        def without_uptime(result):
            for stream in ("stdout", "stderr"):
                setattr(result, stream, re.sub(rb"(?m)^\[\d+\.\d+s\]", b"",
                                               getattr(result, stream)))
            return result

        for option in ("-XX:-UseCompressedClassPointers", "-XX:ObjectAlignmentInBytes=16"):
            self.configure(extra="vmparam %s\n" % option)
            expected = without_uptime(self.plain())
            self.assertEqual(5, expected.returncode, expected)
            self.assertSameAs(expected, without_uptime(self.cached()))
            self.assertSameAs(expected, without_uptime(self.cached()))
            self.assertEqual([], self.archives())

    def test_the_vms_own_errors_still_show(self):
        self.configure(extra="vmparam -Xms2g\nvmparam -Xmx1g\n")
        expected = self.plain()
        self.assertIn(b"Error occurred during initialization of VM", expected.stdout + expected.stderr)
        self.assertSameAs(expected, self.cached())
        self.wait_for_assembly()
        self.assertEqual([], self.cache_files())

    def test_an_unwritable_cache_directory_keeps_the_exit_code(self):
        os.mkdir(self.cache, 0o700)
        as_nobody = None
        if os.geteuid() == 0:
            # root writes anywhere: the launch runs as nobody, whose cache
            # directory it may read but not write.
            for directory in (self.dir, self.path("src"), self.path("classes")):
                if os.path.isdir(directory):
                    os.chmod(directory, 0o755)
            os.chown(self.cache, 65534, 65534)

            def as_nobody():
                os.setgid(65534)
                os.setuid(65534)
        os.chmod(self.cache, 0o500)
        expected = subprocess.run(**self.command(["+CONFIG", self.path("plain.config")]),
                                  capture_output=True, timeout=TIMEOUT, preexec_fn=as_nobody)
        self.assertEqual(5, expected.returncode, expected)
        for _ in range(2):
            result = subprocess.run(**self.command(["+CONFIG", self.path("cached.config")]),
                                    capture_output=True, timeout=TIMEOUT, preexec_fn=as_nobody)
            self.assertSameAs(expected, result)

    def test_properties_and_heap_sizes_share_an_archive_and_another_collector_keeps_its_own(self):
        self.trained("-J-Dsession=1")
        for args in (("-J-Dsession=2",), ("-J-Xmx1g", "-J-Dsession=3"), ()):
            self.assertIn("startupcache: using '",
                          self.cached("+DEBUG", *args).stdout.decode(), args)
        self.assertEqual(1, len(self.archives()))
        self.trained("-J-XX:+UseSerialGC")
        self.assertEqual(2, len(self.archives()))
        for args in ((), ("-J-XX:+UseSerialGC",)):
            self.assertIn("startupcache: using '", self.cached("+DEBUG", *args).stdout.decode())

    def test_the_user_lists_clears_and_switches_off_the_cache(self):
        self.trained()
        listed = self.cached(env={"LARKWIN_STARTUP_CACHE": "list"})
        self.assertEqual(0, listed.returncode)
        self.assertRegex(listed.stdout.decode(), r"\d+\.\d MiB .*demo/App  %s\n" % re.escape(self.app))
        self.assertNotIn(b"out: ", listed.stdout)
        off = self.cached("+DEBUG", env={"LARKWIN_STARTUP_CACHE": "off"}).stdout.decode()
        self.assertIn("startupcache: not used: LARKWIN_STARTUP_CACHE is off", off)
        self.assertNotIn("SharedArchiveFile", off)
        cleared = self.cached(env={"LARKWIN_STARTUP_CACHE": "clear"})
        self.assertEqual(b"removed 1 archive from %s\n" % self.cache.encode(), cleared.stdout)
        self.assertEqual([], self.cache_files())


@unittest.skipUnless(feature_version(JAVA_HOME) == 17,
                     "the java found, %s, is not JDK 17 (its release file says %d)"
                     % (JAVA, feature_version(JAVA_HOME)))
class StartupCacheJdk17(StartupCacheCases, LauncherTest):
    java = JAVA
    shared_source = "shared objects file"


NEWER_JAVA = newer_java()


if __name__ == "__main__":
    unittest.main()
