"""The one file that carries its own runtime (larkwin-pack -o OUT --runtime):
its first start unpacks the runtime and the data into the user's cache, later
starts reuse the copy, and no interrupted, foreign or unsafe copy is ever
run. One jlinked runtime (java.base) serves the whole module: each one file
and image copies it (--runtime HOME), which takes about a second."""

import glob
import os
import resource
import select
import shutil
import signal
import stat
import subprocess
import tempfile
import threading
import unittest

from harness import JAR, JAVA_HOME, JAVAC, LARKWIN, LARKWIN_PACK, TIMEOUT, Listener

APP = """public class App {
    public static void main(String[] args) throws Exception {
        String data = System.getProperty("app.data");
        System.out.println("data: " + new String(java.nio.file.Files.readAllBytes(
            java.nio.file.Paths.get(data))).trim());
        System.out.println("java.home: " + System.getProperty("java.home"));
        if (args.length > 0 && args[0].equals("hold")) {
            System.out.println("holding");
            System.out.flush();
            System.in.read();
        }
        System.exit(args.length > 0 && !args[0].equals("hold") ? Integer.parseInt(args[0]) : 0);
    }
}
"""

CONFIG = """mainclass App
expand
vmparam -Dapp.data=${app.dir}/share/app/data/greeting.txt
"""


def run(command, timeout=TIMEOUT, **kwargs):
    return subprocess.run(command, capture_output=True, timeout=timeout, text=True, **kwargs)


_shared = {}


def shared_application(base_archive=False, runtime=True):
    """The application's jar and (with runtime) a jlinked runtime, made once
    for every class of the module, in a folder removed at the module's end;
    with base_archive, the runtime has its base archive."""
    if not _shared:
        if not os.path.exists(os.path.join(JAVA_HOME, "bin", "jlink")):
            raise unittest.SkipTest("no jlink in %s" % JAVA_HOME)
        top = os.path.realpath(tempfile.mkdtemp(prefix="larkwin-onefile-shared-"))
        source = os.path.join(top, "App.java")
        with open(source, "w") as out:
            out.write(APP)
        subprocess.run([JAVAC, "-d", top, source], check=True, timeout=120)
        jar = os.path.join(top, "app.jar")
        subprocess.run([JAR, "cf", jar, "-C", top, "App.class"], check=True, timeout=60)
        _shared.update(top=top, jar=jar)
    if not runtime:
        return _shared
    if "jre" not in _shared:
        top = _shared["top"]
        jre = os.path.join(top, "jre")
        subprocess.run([os.path.join(JAVA_HOME, "bin", "jlink"), "--add-modules", "java.base",
                        "--strip-debug", "--no-man-pages", "--no-header-files",
                        "--output", jre], check=True, timeout=300)
        _shared["jre"] = jre
    if base_archive and not _shared.get("base_archive"):
        # What the start-up cache builds on; the one files packed before
        # copied the runtime without it.
        subprocess.run([os.path.join(_shared["jre"], "bin", "java"), "-Xshare:dump"],
                       check=True, capture_output=True, timeout=300)
        _shared["base_archive"] = True
    return _shared


def tearDownModule():
    if _shared:
        shutil.rmtree(_shared["top"], True)


class OneFileFixture(unittest.TestCase):
    """Packs versions of one application, each with its data."""

    versions = (1, 2, 3)
    configuration = CONFIG
    base_archive = False
    # The class links a runtime of its own.
    own_runtime = False

    @classmethod
    def setUpClass(cls):
        shared = shared_application(cls.base_archive, not cls.own_runtime)
        cls.jar = shared["jar"]
        cls.jre = shared.get("jre")
        cls.top = os.path.realpath(tempfile.mkdtemp(prefix="larkwin-onefile-"))
        cls.config = os.path.join(cls.top, "app.config")
        with open(cls.config, "w") as out:
            out.write(cls.configuration)
        cls.files = {v: cls.pack("v%d" % v, "hello %d" % v) for v in cls.versions}

    @classmethod
    def pack(cls, name, greeting, output_option="-o"):
        data = os.path.join(cls.top, "data-" + name)
        os.makedirs(data, exist_ok=True)
        with open(os.path.join(data, "greeting.txt"), "w") as out:
            out.write(greeting + "\n")
        output = os.path.join(cls.top, name, "app")
        if output_option == "--app-image":
            output = os.path.join(cls.top, name)
        packed = run([LARKWIN_PACK, output_option, output, "--runtime", cls.jre, "--quiet",
                      "--config", cls.config, "--app-content", data + "=share/app/data",
                      "--name", "app", cls.jar])
        if packed.returncode != 0:
            raise AssertionError(packed)
        return output if output_option == "-o" else os.path.join(output, "bin", "app")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.top, True)

    def setUp(self):
        self.home = tempfile.mkdtemp(prefix="larkwin-onefile-home-")
        self.addCleanup(shutil.rmtree, self.home, True)
        self.cache = os.path.join(self.home, "cache")
        self.root = os.path.join(self.cache, "larkwin", "unpacked")
        self.private = os.path.join(self.home, "tmp")
        os.makedirs(self.private)

    def environment(self, **extra):
        env = {"PATH": "/usr/bin:/bin", "HOME": self.home, "XDG_CACHE_HOME": self.cache,
               "TMPDIR": self.private, "LARKWIN_STARTUP_CACHE": "off"}
        env.update(extra)
        return env

    def start(self, version=1, *args, **kwargs):
        return run([self.files[version]] + list(args), env=self.environment(), **kwargs)

    def assertRan(self, result, version=1, code=0):
        self.assertEqual(code, result.returncode, result)
        self.assertIn("data: hello %d\n" % version, result.stdout)

    def copies(self):
        return sorted(n for n in os.listdir(self.root) if not n.endswith(".lock")
                      and n != ".swept") if os.path.isdir(self.root) else []

    def assertNoLeftovers(self):
        self.assertEqual([], [n for n in self.copies() if n.startswith(".")])
        self.assertEqual([], os.listdir(self.private))

    def read_to_end(self, stream):
        """What is left on the pipe, once every process that holds it has
        ended: at most TIMEOUT seconds."""
        text = ""
        while True:
            ready, _, _ = select.select([stream], [], [], TIMEOUT)
            self.assertTrue(ready, "a process still holds the pipe")
            chunk = os.read(stream.fileno(), 65536)
            if not chunk:
                return text
            text += chunk.decode()

    def read_until(self, process, prefix):
        for line in process.stdout:
            if line.startswith(prefix):
                return line
        self.fail("no line beginning %r" % prefix)

    def runtime_copy(self):
        homes = [n for n in self.copies()
                 if os.path.exists(os.path.join(self.root, n, "bin", "java"))]
        self.assertEqual(1, len(homes), self.copies())
        return os.path.join(self.root, homes[0])


class OneFileTest(OneFileFixture):
    def test_first_start_unpacks_and_later_ones_reuse(self):
        first = run([self.files[1], "+DEBUG", "3"], env=self.environment())
        self.assertRan(first, code=3)
        self.assertIn("unpack: unpacked '", first.stdout)
        self.assertIn("java.home: " + self.root + "/", first.stdout)
        again = run([self.files[1], "+DEBUG"], env=self.environment())
        self.assertRan(again)
        self.assertNotIn("unpacking", again.stdout)
        self.assertEqual(2, again.stdout.count("unpack: reusing '"))
        self.assertEqual("", again.stderr)
        self.assertEqual(2, len(self.copies()))
        self.assertNoLeftovers()

    def test_train_needs_java_25(self):
        output = os.path.join(self.home, "out", "app")
        result = run([LARKWIN_PACK, "-o", output, "--runtime", self.jre, "--quiet",
                      "--config", self.config, self.jar, "--train"])
        self.assertEqual(1, result.returncode, result)
        self.assertIn("larkwin-pack: --train with -o needs a runtime of Java 25 or later; the "
                      "runtime is of Java 17,", result.stderr)
        self.assertFalse(os.path.exists(os.path.dirname(output)))

    def test_a_malformed_unpack_line_is_refused(self):
        digest = "a" * 64
        for line in ("unpack runtime %s 1" % digest, "unpack lib %s 1 2" % digest,
                     "unpack runtime %s -1 2" % digest, "unpack runtime %s 1 2 3" % digest,
                     "unpack runtime %s 1 2" % digest[:63]):
            with self.subTest(line=line):
                config = os.path.join(self.home, "bad.config")
                with open(config, "w") as out:
                    out.write("mainclass App\n" + line + "\n")
                result = run([LARKWIN, "+CONFIG", config], env=self.environment())
                self.assertEqual(254, result.returncode, result)
                self.assertEqual("Malformed unpack '%s'\n" % line[len("unpack "):],
                                 result.stdout)
                self.assertFalse(os.path.exists(self.root))

    def test_a_new_version_written_over_the_old_file(self):
        moved = os.path.join(self.home, "app")
        shutil.copy(self.files[1], moved)
        self.assertRan(run([moved], env=self.environment()), 1)
        with open(self.files[2], "rb") as new, open(moved, "r+b") as old:
            old.truncate(0)
            old.write(new.read())
        self.assertRan(run([moved], env=self.environment()), 2)
        # The runtime is the same: one copy of it, two of the data.
        self.assertEqual(3, len(self.copies()))

    def test_kill_during_the_first_unpack_then_a_normal_start(self):
        # The folder made, its mark written, the copy renamed into place.
        for point in ("unpacking into", "marked", "unpacked"):
            with self.subTest(point=point):
                shutil.rmtree(self.cache, True)
                process = subprocess.Popen([self.files[1], "+DEBUG"], env=self.environment(),
                                           stdout=subprocess.PIPE, text=True)
                timer = threading.Timer(TIMEOUT, process.kill)
                timer.start()
                for line in process.stdout:
                    if line.startswith("unpack: " + point):
                        process.send_signal(signal.SIGKILL)
                        break
                process.stdout.close()
                process.wait()
                timer.cancel()
                self.assertEqual(-signal.SIGKILL, process.returncode)
                self.assertRan(self.start())
                self.assertNoLeftovers()

    def test_a_failed_write_then_a_normal_start(self):
        # A file size limit ends the launcher (SIGXFSZ) in its first large write.
        def limit():
            resource.setrlimit(resource.RLIMIT_FSIZE, (1 << 20, 1 << 20))
        failed = run([self.files[1]], env=self.environment(), preexec_fn=limit)
        self.assertEqual(-signal.SIGXFSZ, failed.returncode, failed)
        self.assertRan(self.start())
        self.assertNoLeftovers()

    def test_three_first_starts_at_once(self):
        processes = [subprocess.Popen([self.files[1]], env=self.environment(),
                                      stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
                     for _ in range(3)]
        for process in processes:
            out, err = process.communicate(timeout=TIMEOUT)
            self.assertEqual(0, process.returncode, err)
            self.assertIn("data: hello 1\n", out)
            self.assertEqual("", err)
        self.assertEqual(2, len(self.copies()))
        self.assertNoLeftovers()

    def assertNeverRuns(self, change, undo):
        self.assertRan(self.start())
        java = os.path.join(self.runtime_copy(), "bin", "java")
        planted = os.path.join(self.home, "planted")
        os.rename(java, java + ".real")
        with open(java, "w") as out:
            out.write("#!/bin/sh\ntouch '%s'\nexec \"$0.real\" \"$@\"\n" % planted)
        os.chmod(java, 0o755)
        change()
        self.addCleanup(undo)
        result = self.start()
        undo()
        self.assertRan(result)
        self.assertFalse(os.path.exists(planted), "the planted java ran")
        # One line for each part refused.
        lines = result.stderr.splitlines()
        self.assertTrue(1 <= len(lines) <= 2, result.stderr)
        for line in lines:
            self.assertTrue(line.startswith("larkwin: not using the cache: "), line)
        self.assertEqual([], os.listdir(self.private))

    def test_an_unsafe_copy_is_never_run(self):
        for mode in (stat.S_IWGRP, stat.S_IWOTH):
            with self.subTest(mode=oct(mode)):
                shutil.rmtree(self.cache, True)
                folder = lambda: self.runtime_copy()
                self.assertNeverRuns(lambda: os.chmod(folder(), 0o755 | mode),
                                     lambda: os.chmod(folder(), 0o755))
        with self.subTest(folder="above the copy"):
            shutil.rmtree(self.cache, True)
            self.assertNeverRuns(lambda: os.chmod(self.root, 0o777),
                                 lambda: os.chmod(self.root, 0o700))

    @unittest.skipUnless(os.geteuid() == 0, "giving a copy to another user needs root")
    def test_a_copy_of_another_user_is_never_run(self):
        self.assertNeverRuns(lambda: os.chown(self.runtime_copy(), 4321, 4321),
                             lambda: os.chown(self.runtime_copy(), 0, 0))

    def age(self, copy, days):
        past = os.stat(copy).st_mtime - days * 86400
        for path in (copy, os.path.join(copy, ".larkwin-complete")):
            os.utime(path, (past, past))

    def test_an_old_copy_is_removed_and_one_in_use_is_not(self):
        self.assertRan(self.start(1))
        held = subprocess.Popen([self.files[2], "hold"], env=self.environment(),
                                stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.addCleanup(held.kill)
        self.assertEqual("data: hello 2\n", held.stdout.readline())
        data = [os.path.join(self.root, n) for n in self.copies()
                if os.path.isdir(os.path.join(self.root, n, "share"))]
        self.assertEqual(2, len(data))
        for copy in data:
            self.age(copy, 40)
        later = run([self.files[3], "+DEBUG"], env=self.environment())
        self.assertRan(later, 3)
        held.stdin.close()
        held.wait(timeout=TIMEOUT)
        removed = [c for c in data if not os.path.exists(c)]
        self.assertEqual(1, len(removed), later.stdout)
        self.assertIn("unpack: removing '%s', unused for 30 days" % removed[0], later.stdout)
        self.assertIn("a start is using it", later.stdout)

    def test_a_private_copy_left_by_sigkill_is_removed_by_a_later_start(self):
        # A file where the cache should be: every start runs from a private copy.
        with open(self.cache, "w"):
            pass
        held = subprocess.Popen([self.files[1], "hold"], env=self.environment(),
                                stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL, text=True)
        timer = threading.Timer(TIMEOUT, held.kill)
        timer.start()
        self.addCleanup(timer.cancel)
        self.addCleanup(held.kill)
        home = self.read_until(held, "java.home: ")[len("java.home: "):].strip()
        self.assertTrue(home.startswith(self.private + "/larkwin-"), home)
        self.read_until(held, "holding")
        while_held = run([self.files[1], "+DEBUG"], env=self.environment())
        self.assertRan(while_held)
        self.assertIn("unpack: keeping the private folder '%s': a start is running from it"
                      % home, while_held.stdout)
        held.send_signal(signal.SIGKILL)
        held.wait(timeout=TIMEOUT)
        # java ends with its launcher: the pipe it held closes.
        self.assertEqual("", self.read_to_end(held.stdout))
        self.assertTrue(os.path.isdir(home), "the SIGKILL left the private folder")
        later = run([self.files[1], "+DEBUG"], env=self.environment())
        self.assertRan(later)
        self.assertIn("unpack: removing the private folder '%s', left by a start that did not "
                      "end cleanly" % home, later.stdout)
        self.assertEqual([], os.listdir(self.private))


class OneFileLikeItsImageTest(OneFileFixture):
    """The one file and the image of the same application, from the same
    runtime and configuration: what the user sees is the same."""

    versions = (1,)
    configuration = CONFIG + "socket ${env:ONEFILE_PORT}\nstartupcache\n"
    base_archive = True

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.image = cls.pack("image", "hello 1", "--app-image")

    def environment(self, **extra):
        env = dict(ONEFILE_PORT="1")
        env.update(extra)
        return super().environment(**env)

    def both(self, *args, **kwargs):
        return [run([launcher] + list(args), env=self.environment(**kwargs), cwd=self.home)
                for launcher in (self.files[1], self.image)]

    def without_home(self, text):
        return [line for line in text.splitlines() if not line.startswith("java.home: ")]

    def test_output_and_exit_codes_are_the_images(self):
        for args in ((), ("4",), ("not-a-number",)):
            with self.subTest(args=args):
                one, image = self.both(*args)
                self.assertEqual(image.returncode, one.returncode, one)
                self.assertEqual(self.without_home(image.stdout), self.without_home(one.stdout))
                self.assertEqual(image.stderr, one.stderr)
        self.assertEqual(1, one.returncode)
        self.assertIn("NumberFormatException", one.stderr)

    def stopped_by(self, launcher, number):
        process = subprocess.Popen([launcher, "hold"], env=self.environment(),
                                   stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, text=True)
        timer = threading.Timer(TIMEOUT, process.kill)
        timer.start()
        try:
            self.read_until(process, "holding")
            process.send_signal(number)
            process.wait(timeout=TIMEOUT)
            # Only when java has ended too does the pipe it holds close.
            rest = self.read_to_end(process.stdout)
            return process.returncode, rest, self.read_to_end(process.stderr)
        finally:
            timer.cancel()
            process.kill()
            process.stdout.close()
            process.stderr.close()

    def test_signals_reach_java_and_end_the_run_as_in_the_image(self):
        for number in (signal.SIGTERM, signal.SIGINT):
            with self.subTest(signal=number):
                one = self.stopped_by(self.files[1], number)
                image = self.stopped_by(self.image, number)
                self.assertEqual(image, one)
                self.assertEqual(128 + number, one[0])
        self.assertNoLeftovers()

    def test_shell_hands_the_files_to_the_running_instance(self):
        payloads = []
        for launcher in (self.files[1], self.image):
            listener = Listener(expected=2)
            result = run([launcher, "+SHELL", "notes.txt", "/abs/other"], cwd=self.home,
                         env=self.environment(ONEFILE_PORT=str(listener.port)))
            listener.close()
            self.assertEqual(0, result.returncode, result)
            self.assertEqual("", result.stdout + result.stderr)
            payloads.append(listener.payloads)
        self.assertEqual([b"open " + os.path.join(self.home, "notes.txt").encode(),
                          b"open /abs/other"], payloads[0])
        self.assertEqual(payloads[1], payloads[0])

    def cache_lines(self, launcher):
        result = run([launcher, "+DEBUG"], cwd=self.home,
                     env=self.environment(LARKWIN_STARTUP_CACHE="wait"))
        self.assertRan(result)
        return [line.split(" '")[0] for line in result.stdout.splitlines()
                if line.startswith("startupcache: ")]

    def test_the_startup_cache_records_then_maps_as_in_the_image(self):
        seen = [[self.cache_lines(launcher) for _ in range(2)]
                for launcher in (self.files[1], self.image)]
        self.assertEqual(seen[1], seen[0])
        self.assertIn("startupcache: recording the classes for", seen[0][0])
        self.assertEqual("startupcache: using", seen[0][1][0])


TEMURIN_25 = "/usr/lib/jvm/temurin-25-jdk-amd64"


class OneFileTrainedTest(OneFileFixture):
    """A one file packed with --train on Java 25: every copy of it, at any
    path and with any time, maps the archive it ships from its first start."""

    versions = ()
    configuration = CONFIG + "startupcache\n"
    own_runtime = True

    @classmethod
    def setUpClass(cls):
        if not os.path.exists(os.path.join(TEMURIN_25, "bin", "jlink")):
            raise unittest.SkipTest("no Java 25 in %s" % TEMURIN_25)
        super().setUpClass()
        cls.jre = os.path.join(cls.top, "jre25")
        subprocess.run([os.path.join(TEMURIN_25, "bin", "jlink"), "--add-modules", "java.base",
                        "--strip-debug", "--no-man-pages", "--no-header-files",
                        "--generate-cds-archive", "--output", cls.jre],
                       check=True, capture_output=True, timeout=300)
        data = os.path.join(cls.top, "data")
        os.makedirs(data)
        with open(os.path.join(data, "greeting.txt"), "w") as out:
            out.write("hello 1\n")
        cls.trained = os.path.join(cls.top, "trained", "app")
        cls.packed = run([LARKWIN_PACK, "-o", cls.trained, "--runtime", cls.jre, "--config",
                          cls.config, "--app-content", data + "=share/app/data", cls.jar,
                          "--train", "--", "0"], timeout=600)
        if cls.packed.returncode != 0:
            raise AssertionError(cls.packed)

    def test_a_copy_elsewhere_maps_the_shipped_archive_from_its_first_start(self):
        self.assertIn("larkwin-pack: training the start-up archive with '", self.packed.stdout)
        self.assertEqual(["app"], os.listdir(os.path.dirname(self.trained)), "nothing left")
        # A copy, as a download makes it: another path, another time.
        copy = os.path.join(self.home, "elsewhere", "tool")
        os.makedirs(os.path.dirname(copy))
        shutil.copy(self.trained, copy)
        self.assertNotEqual(os.stat(self.trained).st_mtime, os.stat(copy).st_mtime)
        environment = self.environment(LARKWIN_STARTUP_CACHE="wait")
        first = run([copy, "+DEBUG", "-J-Xlog:class+load"], env=environment)
        self.assertRan(first)
        shipped = [line for line in first.stdout.splitlines()
                   if line.startswith("startupcache: using the image's '%s/" % self.root)]
        self.assertEqual(1, len(shipped), first.stdout)
        self.assertRegex(shipped[0], r"/lib/startupcache/App-[0-9a-f]{16}\.jsa', which matches "
                                     r"this start$")
        self.assertIn("App source: shared objects file", first.stdout)
        plain = run([copy, "5"], env=self.environment())
        cached = run([copy, "5"], env=environment)
        self.assertEqual((plain.returncode, plain.stdout, plain.stderr),
                         (cached.returncode, cached.stdout, cached.stderr))


@unittest.skipUnless(shutil.which("unshare"), "unshare is not installed")
class OneFileNamespaceTest(OneFileFixture):
    """Runs in a mount namespace of its own: no /usr/lib/jvm, a tiny cache."""

    versions = (1,)

    def in_namespace(self, script, version=1):
        command = ["unshare", "-m", "-r", "--propagation", "private", "sh", "-c", script, "sh",
                   self.files[version]]
        if os.geteuid() == 0:
            command.remove("-r")
        result = run(command, env=self.environment())
        if result.returncode == 1 and "unshare" in result.stderr:
            self.skipTest("unshare -m is not allowed here: " + result.stderr.strip())
        return result

    def test_runs_where_no_java_is_installed(self):
        empty = os.path.join(self.home, "empty")
        os.makedirs(empty)
        result = self.in_namespace(
            "mount -t tmpfs none /usr/lib/jvm && unset JAVA_HOME && PATH=%s "
            "&& [ ! -e %s ] && \"$1\" 7" % (empty, JAVA_HOME))
        self.assertRan(result, code=7)
        self.assertIn("java.home: " + self.root, result.stdout)

    def test_a_cache_on_a_tiny_file_system_runs_from_a_private_copy(self):
        os.makedirs(self.cache)
        result = self.in_namespace("mount -t tmpfs -o size=1m none '%s' && \"$1\" 5" % self.cache)
        self.assertRan(result, code=5)
        self.assertIn("java.home: " + self.private + "/larkwin-", result.stdout)
        self.assertIn("larkwin: not using the cache: ", result.stderr)
        self.assertEqual([], os.listdir(self.private))

    def test_no_room_anywhere_fails_leaving_nothing(self):
        os.makedirs(self.cache)
        result = self.in_namespace(
            "mount -t tmpfs -o size=1m none '%s' && mount -t tmpfs -o size=1m none '%s' "
            "&& \"$1\"; status=$?; ls -A '%s'; exit $status" % (self.cache, self.private,
                                                               self.private))
        self.assertEqual(254, result.returncode, result)
        self.assertIn("Unable to unpack the runtime: ", result.stdout)
        self.assertNotIn("larkwin-", result.stdout.split("\n", 1)[1])


if __name__ == "__main__":
    unittest.main()
