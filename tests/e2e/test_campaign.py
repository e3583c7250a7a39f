"""A seeded fault campaign over the whole launch. Each start draws, from its
own seed, the configuration source, the start-up cache's state, a restart
code, a signal at a random moment, a killed launcher, a long class path and
a service manager's notification socket (one whose queue is full, one
nobody listens on, or one that hears messages with control characters in
them), and is checked against what users rely on:

- the exit code is what the same start gives without the cache;
- standard output and error are byte-identical where no signal interfered;
- no java is left running;
- no temporary file of the start is left behind;
- the cache directory holds only complete archives with their records and
  lock files (and what the start found there, untouched);
- the launcher ends within the time limit, whatever the socket does;
- the socket hears only the assignments the launcher names, each whole,
  and no STOPPING=1 for HUP;
- settings owned by another user change nothing.

Most starts run a stand-in java (a shell script); a few run the real JDK
with a tiny application, where the cache really trains and maps archives.

  LARKWIN_CAMPAIGN_STARTS=2000 ...   starts to run (default 300)
  LARKWIN_CAMPAIGN_SECONDS=600 ...   stop drawing new starts after this
                                      (default 80; 40 in a sanitized build)
  LARKWIN_CAMPAIGN_SEED=N ...        the first start's seed (default: random,
                                      printed); start i uses seed N + i
A failing start prints the one command that replays it alone."""

import os
import random
import re
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import zipfile

from harness import JAVA_HOME, JAVAC, LARKWIN, LARKWIN_PACK, TIMEOUT

STARTS = int(os.environ.get("LARKWIN_CAMPAIGN_STARTS", "300"))

def is_sanitized(program):
    # CMake imports the module only to list its classes, with no launcher.
    if not os.path.isfile(program):
        return False
    with open(program, "rb") as content:
        return b"__asan_" in content.read()


# CI runs the end-to-end tests in the plain and the sanitized build: the
# second run is the shorter.
SECONDS = float(os.environ.get("LARKWIN_CAMPAIGN_SECONDS",
                               "40" if is_sanitized(LARKWIN) else "80"))
REAL_JDK_SHARE = 0.04

# The stand-in: runs as long as the file "wait" names (tenths of a second,
# counted by a shell loop reading a FIFO-free file: no sleep binary needed),
# exits with the code of exit.N for its N-th run, else 0.
STAND_IN = """#!/bin/sh
dir="$(dirname "$0")"
n=1
while [ -e "$dir/ran.$n" ]; do n=$((n + 1)); done
: > "$dir/ran.$n"
echo "stand-in run $n"
for option in "$@"; do
  case "$option" in
    -Dlarkwin.notify.fd=*)
      {
        printf 'status a\\rMAINPID=1\\nready\\nstatus b\\033WATCHDOG=trigger\\n'
        printf 'status c\\013EXTEND_TIMEOUT_USEC=1\\nstatus d\\177\\001\\nalive\\n'
        i=0
        while [ $i -lt 40 ]; do printf 'status %d\\n' $i; i=$((i + 1)); done
      } > "/proc/self/fd/${option#-Dlarkwin.notify.fd=}" ;;
  esac
done
if [ -e "$dir/hold" ]; then read line < "$dir/hold"; fi
exit "$(cat "$dir/exit.$n" 2>/dev/null || echo 0)"
"""

APP = """public class App {
    public static void main(String[] args) throws Exception {
        java.io.File mark = new java.io.File(args[0]);
        System.out.println("app " + String.join(" ", args) + " " + mark.exists());
        if (!mark.exists() && args.length > 1 && args[1].matches("[0-9]+")) {
            mark.createNewFile();
            System.exit(Integer.parseInt(args[1]));
        }
        System.exit(7);
    }
}
"""

# What the relay may send: the launcher's own messages, and the
# application's four words each as its one assignment, with no control
# character in a status.
RELAYED = re.compile(r"(READY=1|STOPPING=1|WATCHDOG=1|STATUS=[^\x00-\x1f\x7f]*"
                     r"|RELOADING=1\nMONOTONIC_USEC=[0-9]+)\Z")

# Class-data archives and AOT caches begin with the magic number 0xf00babXX
# (little-endian); a file the cache made without it is no archive.
ARCHIVE_MAGIC = bytes.fromhex("ab0bf0")


def can_mount_privately():
    if os.geteuid() != 0 or shutil.which("unshare") is None:
        return False
    probe = tempfile.mkdtemp(prefix="larkwin-campaign-probe-")
    try:
        result = subprocess.run(
            ["unshare", "-m", "sh", "-c", "mount -t tmpfs -o size=64k tmpfs '%s'" % probe],
            capture_output=True, timeout=TIMEOUT)
        return result.returncode == 0
    finally:
        os.rmdir(probe)


class ServiceManager:
    """A datagram socket where systemd's would be: one that hears, one whose
    queue is full and never drains, or one nobody listens on any more."""

    def __init__(self, kind, directory):
        self.kind = kind
        self.address = os.path.join(directory, "notify")
        self.socket = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
        self.socket.bind(self.address)
        self.fillers = []
        self.received = []
        self.listening = threading.Event()
        self.reader = None
        if kind == "closed":
            self.socket.close()
        elif kind == "full":
            self.fill()
        else:
            # Read as the launcher sends, so that its stop message finds
            # room in the queue after the stand-in's many statuses.
            self.listening.set()
            self.reader = threading.Thread(target=self.read, daemon=True)
            self.reader.start()

    def read(self):
        while self.listening.is_set():
            if select.select([self.socket], [], [], 0.05)[0]:
                self.received.append(self.socket.recv(65536).decode("latin-1"))

    def fill(self):
        """Sends until a new sender's first datagram finds the queue full."""
        for _ in range(64):
            sender = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
            sender.setblocking(False)
            self.fillers.append(sender)
            try:
                while True:
                    sender.sendto(b"STATUS=filler", self.address)
            except BlockingIOError:
                pass
            probe = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
            probe.setblocking(False)
            try:
                probe.sendto(b"STATUS=probe", self.address)
            except BlockingIOError:
                return
            finally:
                probe.close()
        raise AssertionError("the socket's queue could not be filled")

    def heard(self):
        """Every datagram that arrived (none for a full or closed socket)."""
        if self.reader is None:
            return []
        self.listening.clear()
        self.reader.join(TIMEOUT)
        while select.select([self.socket], [], [], 0)[0]:
            self.received.append(self.socket.recv(65536).decode("latin-1"))
        return self.received

    def close(self):
        if self.reader is not None:
            self.listening.clear()
            self.reader.join(TIMEOUT)
        for sender in self.fillers:
            sender.close()
        self.socket.close()


def processes_naming(text):
    """The pids of processes whose command line holds text."""
    found = []
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as cmdline:
                if text.encode() in cmdline.read():
                    found.append(int(pid))
        except OSError:
            pass
    return found


def temporary_files_naming(text, before):
    """The launcher's temporary files in /tmp made since before that mention
    text (other tests running at the same time have files of their own)."""
    left = []
    for name in set(os.listdir("/tmp")) - before:
        if not name.startswith("larkwin-"):
            continue
        try:
            with open(os.path.join("/tmp", name), "rb") as content:
                if text.encode() in content.read():
                    left.append(name)
        except OSError:
            pass
    return left


class Start:
    """One drawn start, run in its own scratch folder."""

    def __init__(self, seed, shared, private_mounts):
        self.seed = seed
        self.shared = shared
        draw = random.Random(seed)
        self.real = draw.random() < REAL_JDK_SHARE
        self.source = draw.choice(["config-option", "beside", "embedded"])
        states = ["none", "cold", "warm", "damaged"]
        if os.geteuid() == 0:
            states.append("foreign")
        if private_mounts:
            states += ["full", "read-only"]
        self.cache = draw.choice(states)
        # A restart waits out the rest of a second: drawn seldom, for time.
        self.restart = draw.random() < 0.1
        # In a mount namespace of its own the launcher runs under a shell,
        # which a signal would reach instead.
        wrapped = self.cache in ("full", "read-only")
        self.signal = draw.choice([signal.SIGTERM, signal.SIGINT, signal.SIGHUP]) \
            if draw.random() < 0.15 and not wrapped else None
        self.kill = self.signal is None and draw.random() < 0.08 and not wrapped
        self.delay = draw.uniform(0.0, 0.4 if self.real else 0.05)
        self.long_class_path = draw.random() < 0.2
        self.parameter = "p%d" % draw.randrange(1000)
        self.relay = draw.choice([None, None, None, "full", "closed", "control"])
        # The user's settings, as an installed configuration includes them:
        # none, the running user's own, or another user's (root only), which
        # must change nothing.
        settings = ["none", "own"] + (["foreign"] if os.geteuid() == 0 else [])
        self.settings = draw.choice(settings) if draw.random() < 0.3 else "none"
        self.dir = os.path.realpath(tempfile.mkdtemp(prefix="larkwin-campaign-"))

    def describe(self):
        return ("seed %d: %s java, configuration %s, cache %s%s%s%s%s%s" % (
            self.seed, "real" if self.real else "stand-in", self.source, self.cache,
            ", restart code" if self.restart else "",
            ", signal %d after %.3f s" % (self.signal, self.delay) if self.signal else "",
            ", launcher killed after %.3f s" % self.delay if self.kill else "",
            ", long class path" if self.long_class_path else "",
            ", notification socket %s" % self.relay if self.relay else "") +
            (", settings %s" % self.settings if self.settings != "none" else ""))

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def configuration(self, with_cache):
        lines = []
        if self.real:
            lines += ["javapath " + os.path.join(JAVA_HOME, "bin", "java"),
                      "addpath " + self.shared["app_jar"], "mainclass App",
                      "addparam " + self.path("restarted")]
            if self.restart:
                lines.append("addparam 3")
        else:
            lines += ["javapath " + self.path("jre", "bin", "java"), "mainclass App",
                      "addpath " + self.shared["app_jar"]]
        if self.restart:
            lines.append("restartcode 3")
        if self.long_class_path:
            # Beyond what one argument may hold: the class path goes into an
            # argument file.
            # An included file: an embedded configuration holds 64 KiB.
            included = self.path("long.config")
            with open(included, "w") as out:
                out.write("".join("addpath %s/missing-%04d-%s.jar\n" % (self.dir, i, "x" * 60)
                                  for i in range(2200)))
            lines.append("include " + included)
        if with_cache and self.cache != "none":
            lines.append("startupcache " + self.path("cache"))
        if self.settings != "none":
            lines += ["expand", "tryinclude ${xdg.config.home}/app/user.config"]
        return "\n".join(lines) + "\n"

    def prepare_settings(self):
        """The user's settings file; another user's names a java that would
        leave a mark."""
        if self.settings == "none":
            return
        path = self.path("xdg-config", "app", "user.config")
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as out:
            if self.settings == "own":
                out.write("vmparam -Dcampaign.settings=own\n")
            else:
                out.write("javapath %s\n" % self.path("foreign-java"))
        if self.settings == "foreign":
            os.chown(path, 65534, 65534)
            with open(self.path("foreign-java"), "w") as out:
                out.write("#!/bin/sh\ntouch '%s'\n" % self.path("foreign-ran"))
            os.chmod(self.path("foreign-java"), 0o755)

    def prepare(self, with_cache, hold=False):
        """The launcher, its configuration and the java of one run; the
        arguments to start it with."""
        for name in ("app", "app.config", "given.config", "restarted", "jre"):
            target = self.path(name)
            if os.path.isdir(target):
                shutil.rmtree(target)
            elif os.path.lexists(target):
                os.remove(target)
        if not self.real:
            os.makedirs(self.path("jre", "bin"))
            java = self.path("jre", "bin", "java")
            with open(java, "w") as out:
                out.write(STAND_IN)
            os.chmod(java, 0o755)
            # A runtime that reads argument files, as every one since Java 9.
            with open(self.path("jre", "release"), "w") as out:
                out.write('JAVA_VERSION="17.0.9"\n')
            if self.restart:
                with open(self.path("jre", "bin", "exit.1"), "w") as out:
                    out.write("3\n")
            if hold:
                os.mkfifo(self.path("jre", "bin", "hold"))
        text = self.configuration(with_cache)
        app = self.path("app")
        if self.source == "embedded":
            config = self.path("embedded.config")
            with open(config, "w") as out:
                out.write(text)
            subprocess.run([LARKWIN_PACK, "-o", app, "--launcher", LARKWIN, "--config", config,
                            "--quiet", self.shared["app_jar"]], check=True, timeout=TIMEOUT,
                           capture_output=True)
            return [app, self.parameter]
        shutil.copy(LARKWIN, app)
        if self.source == "beside":
            with open(self.path("app.config"), "w") as out:
                out.write(text)
            return [app, self.parameter]
        with open(self.path("given.config"), "w") as out:
            out.write(text)
        return [app, "+CONFIG", self.path("given.config"), self.parameter]

    def prepare_cache(self, command, environment):
        cache = self.path("cache")
        os.makedirs(cache, mode=0o700, exist_ok=True)
        if self.cache in ("warm", "damaged"):
            # The archive is made after a launcher ends; "wait" makes it
            # before, so that what follows sees it whole.
            self.run(command, dict(environment, LARKWIN_STARTUP_CACHE="wait"))
            if os.path.exists(self.path("restarted")):
                os.remove(self.path("restarted"))
            for name in os.listdir(self.path("jre", "bin")) if not self.real else ():
                if name.startswith("ran."):
                    os.remove(self.path("jre", "bin", name))
        if self.cache == "damaged":
            names = sorted(os.listdir(cache))
            for name in names:
                full = os.path.join(cache, name)
                size = os.path.getsize(full)
                with open(full, "r+b") as archive:
                    archive.truncate(size // 2)
            # A foreign file under the name a key could have.
            with open(os.path.join(cache, "App-0000000000000000.jsa"), "wb") as out:
                out.write(b"not an archive")
        if self.cache == "foreign":
            os.chown(cache, 65534, 65534)
        return {name: self.fingerprint(os.path.join(cache, name))
                for name in os.listdir(cache)}

    @staticmethod
    def fingerprint(path):
        with open(path, "rb") as content:
            return content.read()

    def wrapped(self, command):
        """The command, run in a mount namespace of its own where the cache is
        a full or read-only file system."""
        cache = self.path("cache")
        if self.cache == "full":
            mount = "mount -t tmpfs -o size=4k,mode=0700 tmpfs '%s'" % cache
        elif self.cache == "read-only":
            mount = "mount -t tmpfs -o size=1m,mode=0700 tmpfs '%s' && mount -o remount,ro '%s'" % (
                cache, cache)
        else:
            return command
        # What the cache holds is copied out before the namespace ends.
        keep = 'code=$?; cp -a \'%s\'/. \'%s\'/; exit $code' % (cache, self.path("snapshot"))
        return ["unshare", "-m", "--propagation", "private", "sh", "-c",
                mount + ' || exit 99; "$@"; ' + keep, "sh"] + command

    def run(self, command, environment, interfere=False):
        before = set(os.listdir("/tmp"))
        process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                   env=environment, cwd=self.dir, start_new_session=True)
        if interfere and (self.signal or self.kill):
            try:
                process.wait(timeout=self.delay)
            except subprocess.TimeoutExpired:
                process.send_signal(self.signal or signal.SIGKILL)
            self.release_stand_in(process)
        try:
            out, err = process.communicate(timeout=TIMEOUT)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            out, err = process.communicate(timeout=TIMEOUT)
            return "not ended within %d s" % TIMEOUT, out, err, before
        return process.returncode, out, err, before

    def release_stand_in(self, process):
        """Lets a stand-in that waits on its FIFO go on (a launcher that the
        signal did not end waits for it) until the launcher is gone."""
        hold = self.path("jre", "bin", "hold")
        deadline = time.monotonic() + TIMEOUT
        while process.poll() is None and time.monotonic() < deadline and os.path.exists(hold):
            try:
                os.close(os.open(hold, os.O_WRONLY | os.O_NONBLOCK))
            except OSError:
                pass  # nobody waits on it yet
            try:
                process.wait(timeout=0.05)
            except subprocess.TimeoutExpired:
                pass

    def check(self):
        """The failures found, as text; empty when the start is sound."""
        failures = []
        environment = dict(os.environ, XDG_CACHE_HOME=self.path("xdg-cache"),
                           XDG_CONFIG_HOME=self.path("xdg-config"))
        environment.pop("JAVA_HOME", None)
        self.prepare_settings()
        expected = None
        interfered = self.signal or self.kill
        if not interfered:
            command = self.prepare(with_cache=False)
            code, out, err, _ = self.run(command, environment)
            expected = (code, out, err)
            # The campaign itself must start what it means to.
            if (b"app " if self.real else b"stand-in run") not in out:
                failures.append("the start without the cache ran no java: %r" % (expected,))
        command = self.prepare(with_cache=True)
        found = {}
        if self.cache in ("full", "read-only"):
            os.makedirs(self.path("cache"), exist_ok=True)
            os.makedirs(self.path("snapshot"), exist_ok=True)
        elif self.cache != "none":
            found = self.prepare_cache(command, environment)
        command = self.prepare(with_cache=True, hold=bool(interfered))
        manager = ServiceManager(self.relay, self.dir) if self.relay else None
        try:
            run_environment = dict(environment, NOTIFY_SOCKET=manager.address) \
                if manager else environment
            code, out, err, before = self.run(self.wrapped(command), run_environment,
                                              interfere=True)
            failures += self.check_relay(manager)
        finally:
            if manager:
                manager.close()
        if isinstance(code, str):
            failures.append("the launcher was %s" % code)
        if expected is not None and (code, out, err) != expected:
            failures.append("exit code and output %r differ from %r without the cache%s" % (
                (code, out, err), expected, " and the socket" if manager else ""))
        deadline = time.monotonic() + TIMEOUT
        left = processes_naming(self.dir)
        while left and time.monotonic() < deadline:
            # The java of a killed launcher gets SIGTERM when its parent dies.
            for pid in left:
                try:
                    os.waitpid(pid, os.WNOHANG)
                except ChildProcessError:
                    pass
            left = processes_naming(self.dir)
            if left:
                time.sleep(0.01)
        if left:
            failures.append("processes left running: %r" % left)
            for pid in left:
                os.kill(pid, signal.SIGKILL)
        temporaries = temporary_files_naming(self.dir, before)
        for name in temporaries:
            os.remove(os.path.join("/tmp", name))
        if self.kill:
            # Known and not mended: a launcher killed by SIGKILL cannot remove
            # the argument file that its java still has to read (see
            # docs/reliability.md).
            temporaries = [name for name in temporaries if not name.startswith("larkwin-args-")]
        if temporaries:
            failures.append("temporary files left: %r" % temporaries)
        failures += self.check_cache(found)
        if os.path.exists(self.path("foreign-ran")):
            failures.append("another user's settings were read: their javapath ran")
        return failures

    def check_relay(self, manager):
        if manager is None:
            return []
        heard = manager.heard()
        failures = ["the socket heard %r, which the launcher does not send" % message
                    for message in heard if not RELAYED.match(message)]
        if self.signal == signal.SIGHUP and "STOPPING=1" in heard:
            failures.append("STOPPING=1 for HUP, which stops nothing by itself")
        if manager.kind == "control" and not self.real and not (self.signal or self.kill) \
                and "READY=1" not in heard:
            failures.append("the stand-in's ready was not relayed: %r" % heard)
        return failures

    def check_cache(self, found):
        wrapped = self.cache in ("full", "read-only")
        cache = self.path("snapshot" if wrapped else "cache")
        if not os.path.isdir(cache):
            return []
        failures = []
        for name in os.listdir(cache):
            full = os.path.join(cache, name)
            content = self.fingerprint(full)
            if found.get(name) == content:
                continue  # what the start found there, untouched
            if name.endswith((".info", ".loaders")) and \
                    self.is_complete(cache, name.rsplit(".", 1)[0]):
                continue  # the record and list kept beside a complete archive
            if name.endswith(".lock") and len(content) == 0:
                continue  # the empty file whose lock says an archive is being made
            if self.kill and KILLED_LEFTOVER.search(name):
                # A launcher killed by SIGKILL cannot remove the class list, its log or
                # the archive it was writing; eviction sweeps such files after a day.
                continue
            if not name.endswith((".jsa", ".aot")) or content[1:4] != ARCHIVE_MAGIC:
                failures.append("cache holds %s (%d bytes, %r...), not a complete archive" % (
                    name, len(content), content[:8]))
        return failures

    def is_complete(self, cache, name):
        full = os.path.join(cache, name)
        return (name.endswith((".jsa", ".aot")) and os.path.isfile(full)
                and self.fingerprint(full)[1:4] == ARCHIVE_MAGIC)

    def remove(self):
        cache = self.path("cache")
        if os.path.isdir(cache):
            os.chown(cache, os.geteuid(), os.getegid())
        shutil.rmtree(self.dir, True)


KILLED_LEFTOVER = re.compile(r"\.[A-Za-z0-9]{6}\.(classlist|classlist\.log|tmp)$")


class CampaignTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.shared_dir = os.path.realpath(tempfile.mkdtemp(prefix="larkwin-campaign-shared-"))
        source = os.path.join(cls.shared_dir, "App.java")
        with open(source, "w") as out:
            out.write(APP)
        subprocess.run([JAVAC, "-d", cls.shared_dir, source], check=True, timeout=120)
        jar = os.path.join(cls.shared_dir, "app.jar")
        with zipfile.ZipFile(jar, "w") as archive:
            archive.write(os.path.join(cls.shared_dir, "App.class"), "App.class")
        cls.shared = {"app_jar": jar}
        cls.private_mounts = can_mount_privately()

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.shared_dir, True)

    def test_seeded_starts(self):
        if not LARKWIN_PACK or not os.path.exists(LARKWIN_PACK):
            self.skipTest("larkwin-pack is not built")
        first = int(os.environ.get("LARKWIN_CAMPAIGN_SEED", random.randrange(1 << 30)))
        if not self.private_mounts:
            print("campaign: no private mounts here (needs root and unshare); the full and "
                  "read-only cache states are not drawn", file=sys.stderr)
        deadline = time.monotonic() + SECONDS
        failed = []
        ran = 0
        for seed in range(first, first + STARTS):
            if time.monotonic() > deadline:
                break
            start = Start(seed, self.shared, self.private_mounts)
            try:
                failures = start.check()
            finally:
                start.remove()
            ran += 1
            if failures:
                failed.append("%s\n  %s\n  replay: cd %s && LARKWIN=%s LARKWIN_PACK=%s "
                              "LARKWIN_CAMPAIGN_SEED=%d LARKWIN_CAMPAIGN_STARTS=1 %s -m "
                              "unittest -v test_campaign" % (
                                  start.describe(), "\n  ".join(failures),
                                  os.path.dirname(os.path.abspath(__file__)), LARKWIN,
                                  LARKWIN_PACK, seed, sys.executable))
        print("campaign: %d starts from seed %d, %d failed" % (ran, first, len(failed)),
              file=sys.stderr)
        self.assertEqual([], failed, "\n".join(failed))
