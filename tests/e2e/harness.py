"""Shared helpers for the end-to-end tests: scratch folders, a stand-in java
that records its command line, real Java classes, and bounded runs of the
built launcher."""

import os
import re
import shutil
import socket
import stat
import subprocess
import tempfile
import threading
import unittest

LARKWIN = os.environ["LARKWIN"]
LARKWIN_PACK = os.environ.get("LARKWIN_PACK", "")
JAVAC = os.environ.get("LARKWIN_JAVAC", "javac")
JAR = os.environ.get("LARKWIN_JAR", "jar")
JAVA = os.path.realpath(os.environ.get("LARKWIN_JAVA", shutil.which("java") or "java"))
JAVA_HOME = os.path.dirname(os.path.dirname(JAVA))

# Every launch is bounded; a hang fails the test instead of the whole run.
TIMEOUT = 60

# A command that every launch is run under, such as valgrind (see
# valgrind_check.sh); empty for a plain run.
WRAPPER = os.environ.get("LARKWIN_WRAPPER", "").split()

STAND_IN_JAVA = """#!/bin/sh
# Records its command line, one argument a line, then exits as asked.
record="$(dirname "$0")/record"
n=1
while [ -e "$record.$n" ]; do n=$((n + 1)); done
printf '%s\\n' "$0" "$@" > "$record.$n"
for option in "$@"; do
  case "$option" in
    -Dlarkwin.exportenv=*) cp "${option#-Dlarkwin.exportenv=}" "$(dirname "$0")/dump.$n" ;;
  esac
done
exit "$(cat "$(dirname "$0")/exit.$n" 2>/dev/null || echo 0)"
"""


class LauncherTest(unittest.TestCase):
    """A scratch folder with a copy of the launcher and, on demand, a
    stand-in java or real classes."""

    def setUp(self):
        self.dir = os.path.realpath(tempfile.mkdtemp(prefix="larkwin-e2e-"))
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.app = self.path("app")
        shutil.copy(LARKWIN, self.app)

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def write(self, name, text, mode=None):
        full = self.path(name)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "wb") as out:
            out.write(text.encode() if isinstance(text, str) else text)
        if mode is not None:
            os.chmod(full, mode)
        return full

    def stand_in_java(self, exits=()):
        """A java that records each run as record.1, record.2, ... and exits
        with the codes given, run by run."""
        os.makedirs(self.path("jre", "bin"), exist_ok=True)
        java = self.write("jre/bin/java", STAND_IN_JAVA, 0o755)
        for run, code in enumerate(exits, start=1):
            self.write("jre/bin/exit.%d" % run, "%d\n" % code)
        return java

    def recorded(self, run=1):
        with open(self.path("jre", "bin", "record.%d" % run)) as record:
            return record.read().split("\n")[:-1]

    def runs(self):
        return len([n for n in os.listdir(self.path("jre", "bin")) if n.startswith("record.")])

    def compile_java(self, sources, jar_name=None):
        """Compiles {"Name.java": text} into classes/, optionally into a jar."""
        src = self.path("src")
        os.makedirs(src, exist_ok=True)
        files = [self.write(os.path.join("src", name), text) for name, text in sources.items()]
        classes = self.path("classes")
        subprocess.run([JAVAC, "-d", classes] + files, check=True, timeout=120)
        if jar_name is None:
            return classes
        jar = self.path(jar_name)
        subprocess.run([JAR, "cf", jar, "-C", classes, "."], check=True, timeout=120)
        return jar

    def command(self, args, executable=None, argv0=None, env=None, cwd=None):
        """The options of one launch for subprocess."""
        executable = executable or self.app
        environment = dict(os.environ)
        environment.pop("JAVA_HOME", None)
        # Marks the environment dumps of this test's launches (see
        # dumps_left_since).
        environment["LARKWIN_TEST_DIR"] = self.dir
        # Bundles keep a start-up cache: in the scratch folder, not the
        # user's own cache.
        environment["XDG_CACHE_HOME"] = self.path("cache-home")
        if env:
            environment.update(env)
        if WRAPPER:
            # The wrapper starts the launcher by the name it would be started
            # by, which it must find itself.
            if argv0 and "/" not in argv0 and not shutil.which(argv0, path=environment.get("PATH")):
                raise unittest.SkipTest("the wrapper cannot start %r without PATH" % argv0)
            return dict(args=WRAPPER + [argv0 or executable] + list(args), cwd=cwd or self.dir,
                        env=environment)
        return dict(args=[argv0 or executable] + list(args), executable=executable,
                    cwd=cwd or self.dir, env=environment)

    def launch(self, *args, executable=None, argv0=None, env=None, cwd=None, pass_fds=(),
               timeout=TIMEOUT):
        return subprocess.run(
            **self.command(args, executable, argv0, env, cwd),
            capture_output=True,
            timeout=timeout,
            pass_fds=pass_fds,
        )

    def assertFailure(self, result, message):
        self.assertEqual(254, result.returncode, result)
        self.assertEqual(message + "\n", result.stdout.decode())


class Listener:
    """A TCP listener on 127.0.0.1 that collects each connection's bytes."""

    def __init__(self, expected):
        self.server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.server.bind(("127.0.0.1", 0))
        self.server.listen(8)
        self.server.settimeout(TIMEOUT)
        self.port = self.server.getsockname()[1]
        self.payloads = []
        self.thread = threading.Thread(target=self._accept, args=(expected,), daemon=True)
        self.thread.start()

    def _accept(self, expected):
        try:
            for _ in range(expected):
                connection, _ = self.server.accept()
                with connection:
                    connection.settimeout(TIMEOUT)
                    data = b""
                    while True:
                        chunk = connection.recv(65536)
                        if not chunk:
                            break
                        data += chunk
                    self.payloads.append(data)
        except OSError:
            pass

    def close(self):
        self.thread.join(TIMEOUT)
        self.server.close()


def dump_files():
    return {n for n in os.listdir("/tmp") if n.startswith("larkwin-envdump-")}


def dumps_left_since(before, test_dir):
    """The dump files that appeared since before and were written by a launch
    of the test whose folder is test_dir: tests running at the same time have
    dumps of their own, which come and go."""
    mark = ("LARKWIN_TEST_DIR=" + test_dir + "\n").encode()
    left = set()
    for name in dump_files() - before:
        try:
            with open(os.path.join("/tmp", name), "rb") as dump:
                if mark in dump.read():
                    left.add(name)
        except OSError:
            pass  # removed meanwhile
    return left


def feature_version(home):
    """The feature version that home/release names (8 for "1.8.0_392"), or 0."""
    try:
        with open(os.path.join(home, "release")) as release:
            text = release.read()
    except OSError:
        return 0
    found = re.search(r'^JAVA_VERSION="(1\.)?(\d+)', text, re.M)
    return int(found.group(2)) if found else 0
