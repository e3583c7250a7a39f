"""Faults of the launcher as a process, end to end: a stop request against the
restart code, a restart loop that would spin, a JVM that would outlive its
launcher, arguments too long for exec, and the boot class path on runtimes
that reject "-Xbootclasspath/p:". StopInTheShutdownHook, NoOrphanedJvm and
the classes whose names end in OnTheRealJdk run the real JDK (the latter
skip unless it is version 9 or later, as its release file says);
StopBeatsRestart, HangupIgnoredFromTheStart, RestartPace, LongArguments and
BootPath run a /bin/sh stand-in that records its command line. Every wait is
bounded."""

import glob
import os
import select
import signal
import subprocess
import time
import unittest

from harness import JAR, JAVA, JAVA_HOME, LauncherTest, WRAPPER, feature_version

# Seconds any one wait may take; a hang fails the case.
BOUND = 60

# Ends with 3, the restart code, after a shutdown hook that says it runs
# (one byte on the descriptor named by args[1]) and then waits for the test's
# go (one byte on args[2]). A restarted run says so in args[0] and ends with 0.
STOPPED_IN_HOOK = """
import java.io.*;
import java.nio.file.*;
public class StoppedInHook {
    public static void main(String[] args) throws Exception {
        Path starts = Paths.get(args[0]);
        Files.write(starts, "start\\n".getBytes(), StandardOpenOption.CREATE,
                    StandardOpenOption.APPEND);
        if (Files.readAllLines(starts).size() > 1) {
            System.exit(0);
        }
        Runtime.getRuntime().addShutdownHook(new Thread(() -> {
            try (OutputStream ready = new FileOutputStream(args[1]);
                 InputStream go = new FileInputStream(args[2])) {
                ready.write('r');
                ready.flush();
                go.read();
            } catch (IOException e) {
                throw new UncheckedIOException(e);
            }
        }));
        System.exit(3);
    }
}
"""

# Says its pid on the descriptor named by args[0], then waits for its end.
WAITS = """
import java.io.*;
public class Waits {
    public static void main(String[] args) throws Exception {
        try (OutputStream ready = new FileOutputStream(args[0])) {
            ready.write((ProcessHandle.current().pid() + "\\n").getBytes());
        }
        Thread.sleep(120000);
    }
}
"""


def read_ready(fd):
    """What a child wrote on the pipe fd, once it did; fails after BOUND s."""
    ready, _, _ = select.select([fd], [], [], BOUND)
    if not ready:
        raise AssertionError("the child never said it was ready")
    return os.read(fd, 64)


def has_ended(pid):
    """True once pid is gone or a zombie (an orphan whose reaper is slow)."""
    try:
        with open("/proc/%d/stat" % pid) as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] == "Z"
    except (FileNotFoundError, ProcessLookupError):
        # Gone between the open and the read, too.
        return True


def wait_until_ended(pid, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if has_ended(pid):
            return True
        time.sleep(0.01)
    return has_ended(pid)


class ProcessFaultTest(LauncherTest):
    def setUp(self):
        super().setUp()
        self.open_fds = set()
        self.addCleanup(lambda: [os.close(fd) for fd in self.open_fds])

    def pipe(self):
        read_end, write_end = os.pipe()
        self.open_fds.update((read_end, write_end))
        return read_end, write_end

    def close(self, fd):
        """Closes fd now; the clean-up would otherwise close it."""
        self.open_fds.discard(fd)
        os.close(fd)

    def start(self, args, pass_fds=()):
        launcher = subprocess.Popen(**self.command(args), pass_fds=pass_fds,
                                    stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.addCleanup(self.end, launcher)
        return launcher

    @staticmethod
    def end(launcher):
        if launcher.poll() is None:
            launcher.kill()
        launcher.wait(BOUND)
        # A child that outlived a failed case may hold the other ends.
        launcher.stdout.close()
        launcher.stderr.close()


class StopInTheShutdownHook(ProcessFaultTest):
    def start_held_in_its_hook(self, *switches):
        """Starts StoppedInHook with restartcode 3 and waits until its
        shutdown hook runs; the hook goes on once go_write gets a byte.
        Returns the launcher, go_write and go_read."""
        self.compile_java({"StoppedInHook.java": STOPPED_IN_HOOK})
        self.write("app.config", "javapath %s\naddpath classes\nmainclass StoppedInHook\n"
                   "restartcode 3\n" % JAVA)
        ready_read, ready_write = self.pipe()
        go_read, go_write = self.pipe()
        launcher = self.start(list(switches) + [self.path("starts"), "/dev/fd/%d" % ready_write,
                                                "/dev/fd/%d" % go_read],
                              pass_fds=(ready_write, go_read))
        read_ready(ready_read)
        return launcher, go_write, go_read

    def test_sigterm_during_the_shutdown_hooks_of_an_exit_with_the_restart_code(self):
        launcher, go_write, _ = self.start_held_in_its_hook()
        # The hook runs: System.exit(3) has begun. The TERM reaches the
        # launcher before java can end, since java waits for the go.
        launcher.send_signal(signal.SIGTERM)
        os.write(go_write, b"g")
        out, err = launcher.communicate(timeout=BOUND)
        self.assertEqual(3, launcher.returncode, (out, err))
        with open(self.path("starts")) as starts:
            self.assertEqual(1, len(starts.readlines()))

    def test_debug_says_why_it_does_not_restart(self):
        launcher, go_write, go_read = self.start_held_in_its_hook("+DEBUG")
        launcher.send_signal(signal.SIGINT)
        os.write(go_write, b"g")
        out, err = launcher.communicate(timeout=BOUND)
        self.assertEqual(3, launcher.returncode, (out, err))
        # The echo has no line end; the explanation follows it.
        self.assertTrue(out.decode().endswith(
            " /dev/fd/%dNot restarting: the launcher was asked to stop\n" % go_read), out)


class StopBeatsRestart(ProcessFaultTest):
    def test_stop_signal_after_the_child_ended_ends_the_wait_for_the_restart(self):
        for stop in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            with self.subTest(signal=stop):
                for _ in range(5):
                    if self.stop_during_the_wait(stop):
                        break
                else:
                    self.skipTest("the launcher restarted before the signal was sent, 5 times")

    def stop_during_the_wait(self, stop):
        """Sends stop once the child (exit 3, the restart code) has ended;
        False when a restart came before the signal. A child started after
        the signal says "late" and fails the case."""
        self.stand_in_java()
        ready_read, ready_write = self.pipe()
        sent = self.path("sent")
        self.write("jre/bin/java", "#!/bin/sh\necho $$ >&%d\n[ -e %s ] && echo late >&%d\n"
                   "exit 3\n" % (ready_write, sent, ready_write), 0o755)
        self.write("app.config", "javapath jre/bin/java\nmainclass M\nrestartcode 3\n")
        launcher = self.start([], pass_fds=(ready_write,))
        self.close(ready_write)
        child = int(read_ready(ready_read))
        self.assertTrue(wait_until_ended(child, BOUND))
        # The restart waits until a second after the child started.
        launcher.send_signal(stop)
        self.write("sent", "")
        out, err = launcher.communicate(timeout=BOUND)
        later = b""
        while True:
            more = os.read(ready_read, 64)
            if not more:
                break
            later += more
        os.remove(sent)
        self.assertNotIn(b"late", later, "a restart came after the stop signal")
        if later:
            return False
        self.assertEqual(3, launcher.returncode, (out, err))
        return True


class HangupIgnoredFromTheStart(ProcessFaultTest):
    def test_hangup_ignored_from_the_start_asks_nothing(self):
        # Under nohup a hangup asks nothing: the application restarts.
        self.stand_in_java()
        self.write("app.config", "javapath jre/bin/java\nmainclass M\nrestartcode 3\n")
        # The first run hangs the launcher up and asks for the restart.
        self.write("jre/bin/java", "#!/bin/sh\nd=$(dirname \"$0\")\n"
                   "if [ -e \"$d/ran\" ]; then exit 5; fi\n"
                   ": > \"$d/ran\"\nkill -HUP $PPID\nexit 3\n", 0o755)
        result = subprocess.run(**self.command([]), capture_output=True, timeout=BOUND,
                                preexec_fn=lambda: signal.signal(signal.SIGHUP, signal.SIG_IGN))
        self.assertEqual(5, result.returncode, result)


class RestartPace(ProcessFaultTest):
    def test_a_child_that_asks_at_once_is_restarted_each_time(self):
        # When each restart may come: RestartPace.* in the unit tests.
        self.stand_in_java(exits=[3, 3, 0])
        self.write("app.config", "javapath jre/bin/java\nmainclass M\nrestartcode 3\n")
        result = self.launch(timeout=BOUND)
        self.assertEqual(0, result.returncode, result)
        self.assertEqual(3, self.runs())


@unittest.skipUnless(os.path.exists("/proc/self/stat"), "needs /proc to follow the JVM")
@unittest.skipIf(WRAPPER, "the wrapper, not the launcher, would be killed")
class NoOrphanedJvm(ProcessFaultTest):
    def test_jvm_ends_when_the_launcher_is_killed(self):
        self.compile_java({"Waits.java": WAITS})
        self.write("app.config", "javapath %s\naddpath classes\nmainclass Waits\n" % JAVA)
        # SIGALRM is not passed on: its default action ends the launcher.
        for kill in (signal.SIGKILL, signal.SIGALRM):
            with self.subTest(signal=kill):
                ready_read, ready_write = self.pipe()
                launcher = self.start(["/dev/fd/%d" % ready_write], pass_fds=(ready_write,))
                self.close(ready_write)
                jvm = int(read_ready(ready_read))
                self.addCleanup(self.kill_quietly, jvm)
                launcher.send_signal(kill)
                self.assertEqual(-kill, launcher.wait(BOUND))
                self.assertTrue(wait_until_ended(jvm, BOUND), "the JVM outlived its launcher")

    @staticmethod
    def kill_quietly(pid):
        if not has_ended(pid):
            os.kill(pid, signal.SIGKILL)


# Prints how many class path entries it was given and whether the class
# boot.Patch comes from the boot class path (the bootstrap loader).
COUNTS = """
public class Counts {
    public static void main(String[] args) throws Exception {
        String path = System.getProperty("java.class.path");
        System.out.println("entries=" + path.split(":", -1).length);
        if (args.length > 0) {
            Class<?> patch = Class.forName("boot.Patch", true, null);
            System.out.println("boot=" + (patch.getClassLoader() == null) + " " + patch.getName());
        }
        System.exit(7);
    }
}
"""

PATCH = """
package boot;
public class Patch {}
"""


def argument_files_of(test_dir):
    """The argument files left behind by launches of the test in test_dir."""
    left = []
    for name in glob.glob("/tmp/larkwin-args-*"):
        try:
            with open(name, "rb") as text:
                if test_dir.encode() in text.read():
                    left.append(name)
        except OSError:
            pass  # removed meanwhile
    return left


def four_thousand_jars(test):
    """A configuration whose class path holds the application's classes and
    4,000 jars of ordinary names: about 300 KB as one argument."""
    test.compile_java({"Counts.java": COUNTS})
    lines = ["addpath classes"]
    for n in range(4000):
        lines.append("addpath lib/org.example.component-%04d-2.17.1.jar" % n)
    return "\n".join(lines) + "\nmainclass Counts\n"


# Argument files and the appended boot path need Java 9 or later.
ON_JAVA_9 = unittest.skipUnless(
    feature_version(JAVA_HOME) >= 9,
    "the java found, %s, is not of version 9 or later (its release file says %d)"
    % (JAVA, feature_version(JAVA_HOME)))


@ON_JAVA_9
class LongArgumentsOnTheRealJdk(ProcessFaultTest):
    def test_four_thousand_jars_on_a_real_jdk_9_or_later(self):
        self.write("app.config", "javapath %s\n%s" % (JAVA, four_thousand_jars(self)))
        result = self.launch(timeout=BOUND)
        self.assertEqual(7, result.returncode, result.stderr[-500:])
        self.assertEqual("entries=4001\n", result.stdout.decode())
        self.assertEqual([], argument_files_of(self.dir))

    def test_debug_shows_the_file_and_the_command_that_ran(self):
        self.write("app.config", "javapath %s\n%s" % (JAVA, four_thousand_jars(self)))
        result = self.launch("+DEBUG", timeout=BOUND)
        self.assertEqual(7, result.returncode, result.stderr[-500:])
        out = result.stdout.decode()
        intro, rest = out.split("\n", 1)
        self.assertRegex(intro, r"^Arguments too long for the command line, in "
                                r"/tmp/larkwin-args-\w{6}:$")
        path = intro[len("Arguments too long for the command line, in "):-1]
        self.assertTrue(rest.startswith('"-cp"\n"%s:' % self.path("classes")), rest[:200])
        command = "%s @%s -Dlarkwin.executable.path=%s Counts" % (JAVA, path, self.app)
        self.assertIn('.jar"\n' + command + "entries=4001\n", rest)
        self.assertFalse(os.path.exists(path))



class LongArguments(ProcessFaultTest):
    def test_file_is_removed_when_java_fails_and_before_a_restart(self):
        java = self.stand_in_java(exits=[3, 4])
        self.write("jre/release", 'JAVA_VERSION="17.0.2"\n')
        self.write("app.config", "javapath jre/bin/java\nrestartcode 3\n" +
                   four_thousand_jars(self))
        result = self.launch(timeout=BOUND)
        self.assertEqual(4, result.returncode, result.stderr[-500:])
        self.assertEqual(2, self.runs())
        for run in (1, 2):
            args = self.recorded(run)
            self.assertEqual(java, args[0])
            self.assertRegex(args[1], r"^@/tmp/larkwin-args-\w{6}$")
            self.assertEqual(["-Dlarkwin.executable.path=" + self.app, "Counts"], args[2:])
            self.assertFalse(os.path.exists(args[1][1:]))
        self.assertEqual([], argument_files_of(self.dir))

    def test_stop_signal_while_the_file_is_being_announced_reaches_java(self):
        self.stand_in_java(exits=[0])
        self.write("jre/release", 'JAVA_VERSION="17.0.2"\n')
        self.write("app.config", "javapath jre/bin/java\n" + four_thousand_jars(self))
        # +DEBUG writes the file's 300 KB to a pipe that nobody reads yet, so
        # the launcher waits there with the file made and java not started.
        launcher = self.start(["+DEBUG"])
        deadline = time.monotonic() + BOUND
        while not argument_files_of(self.dir) and time.monotonic() < deadline:
            time.sleep(0.01)
        self.assertNotEqual([], argument_files_of(self.dir))
        launcher.send_signal(signal.SIGHUP)
        launcher.communicate(timeout=BOUND)
        self.assertGreaterEqual(launcher.returncode, 0, "the hangup ended the launcher itself")
        self.assertEqual([], argument_files_of(self.dir))


@ON_JAVA_9
class BootPathOnTheRealJdk(ProcessFaultTest):
    def boot_jar(self):
        self.compile_java({"Counts.java": COUNTS, "Patch.java": PATCH})
        os.makedirs(self.path("boot"))
        subprocess.run([JAR, "cf", self.path("boot", "patch.jar"), "-C", self.path("classes"),
                        "boot"], check=True, timeout=BOUND)

    def test_boot_path_on_a_real_jdk_9_or_later_is_appended_and_its_classes_load(self):
        self.boot_jar()
        for directive in ("addbootpath boot/patch.jar", "addbootjars boot"):
            with self.subTest(directive=directive):
                self.write("app.config", "javapath %s\naddpath classes\n%s\nmainclass Counts\n"
                           % (JAVA, directive))
                result = self.launch("+DEBUG", "load", timeout=BOUND)
                self.assertEqual(7, result.returncode, result)
                out = result.stdout.decode()
                self.assertIn(" -Xbootclasspath/a:%s " % self.path("boot", "patch.jar"), out)
                self.assertTrue(out.endswith("boot=true boot.Patch\n"), out)



class BootPath(ProcessFaultTest):
    def test_runtime_without_a_release_file_keeps_the_prepending_form(self):
        java = self.stand_in_java()
        self.write("app.config", "javapath jre/bin/java\naddbootpath b.jar\nmainclass M\n")
        self.assertEqual(0, self.launch(timeout=BOUND).returncode)
        self.assertEqual([java, "-Xbootclasspath/p:" + self.path("b.jar"),
                          "-Dlarkwin.executable.path=" + self.app, "M"], self.recorded())

    def test_runtime_whose_release_file_says_8_keeps_the_prepending_form(self):
        self.stand_in_java()
        self.write("jre/release", 'JAVA_VERSION="1.8.0_392"\n')
        self.write("app.config", "javapath jre/bin/java\naddbootpath b.jar\nmainclass M\n")
        self.assertEqual(0, self.launch(timeout=BOUND).returncode)
        self.assertEqual("-Xbootclasspath/p:" + self.path("b.jar"), self.recorded()[1])


if __name__ == "__main__":
    unittest.main()
