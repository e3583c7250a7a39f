"""A hostile local user and hostile configurations: a single-instance port
taken by another user, forged commands, an instance that does not accept,
configurations that others may write, endless and deeply nested includes,
running out of memory, and bundles over 2 GiB. Each case ends within its
time bound with the launcher's clear answer."""

import os
import pwd
import resource
import select
import shutil
import socket
import subprocess
import sys
import unittest

from harness import JAVA, LARKWIN, TIMEOUT, WRAPPER, LauncherTest

DEMO_JAR = os.environ.get("LARKWIN_DEMO_JAR", "")

# Seconds one launch may take; a hang fails the case.
BOUND = 60

# Collects what each connection sends until one sends "end"; prints its
# port first and then each connection's bytes, one repr a line.
RECORDING_LISTENER = r"""
import socket
server = socket.socket()
server.bind(("127.0.0.1", 0))
server.listen(8)
server.settimeout(%d)
print(server.getsockname()[1], flush=True)
while True:
    connection, _ = server.accept()
    connection.settimeout(%d)
    data = b""
    while True:
        chunk = connection.recv(65536)
        if not chunk:
            break
        data += chunk
    connection.close()
    print(repr(data), flush=True)
    if data == b"end":
        break
""" % (BOUND, BOUND)

# Forges two commands: one from a socket kept until the instance closes (its
# owner can be told), one from a socket closed at once.
FORGER = r"""
import socket, sys
port = int(sys.argv[1])
lingering = socket.create_connection(("127.0.0.1", port), timeout=%d)
lingering.sendall(b"open /forged/lingering")
lingering.shutdown(socket.SHUT_WR)
while lingering.recv(256):
    pass
lingering.close()
quick = socket.create_connection(("127.0.0.1", port), timeout=%d)
quick.sendall(b"open /forged/quick")
quick.close()
""" % (BOUND, BOUND)


def other_user():
    """A command prefix that runs a command as nobody, or the reason why
    there is none."""
    if os.geteuid() != 0:
        return None, "needs root to run a process as another user"
    try:
        nobody = pwd.getpwnam("nobody")
    except KeyError:
        return None, "there is no user nobody"
    if shutil.which("setpriv"):
        return ["setpriv", "--reuid=%d" % nobody.pw_uid, "--regid=%d" % nobody.pw_gid,
                "--clear-groups"], nobody.pw_uid
    if shutil.which("runuser"):
        return ["runuser", "-u", "nobody", "--"], nobody.pw_uid
    return None, "neither setpriv nor runuser is installed"


def read_line(stream, what):
    ready, _, _ = select.select([stream], [], [], BOUND)
    if not ready:
        raise AssertionError("no line from %s within %d s" % (what, BOUND))
    return stream.readline().decode().rstrip("\n")


def sanitized():
    with open(LARKWIN, "rb") as launcher:
        return b"__asan_init" in launcher.read()


class HostileTest(LauncherTest):
    def configure(self, text, name="app.config", mode=None):
        self.stand_in_java()
        return self.write(name, "javapath jre/bin/java\n" + text, mode)

    def assertOneLine(self, result, status, message):
        self.assertEqual(status, result.returncode, result)
        self.assertEqual(message + "\n", result.stdout.decode("latin-1"))


class PortOfAnotherUser(HostileTest):
    def setUp(self):
        super().setUp()
        self.as_nobody, self.nobody_uid = other_user()
        if self.as_nobody is None:
            self.skipTest(self.nobody_uid)

    def test_a_listener_of_another_user_gets_nothing(self):
        listener = subprocess.Popen(self.as_nobody + [sys.executable, "-c", RECORDING_LISTENER],
                                    cwd="/", stdout=subprocess.PIPE, bufsize=0)
        self.addCleanup(listener.kill)
        self.addCleanup(listener.stdout.close)
        port = int(read_line(listener.stdout, "the listener"))
        self.configure("mainclass M\nsocket %d\n" % port)
        result = self.launch("+SHELL", "+DEBUG", "secret.txt", timeout=BOUND)
        with socket.create_connection(("127.0.0.1", port), timeout=BOUND) as last:
            last.sendall(b"end")
        received, _ = listener.communicate(timeout=BOUND)
        self.assertEqual("b'end'\n", received.decode(), "the listener got bytes from the launcher")
        self.assertEqual(0, result.returncode, result)
        self.assertIn("Not sending to 127.0.0.1:%d: its listener belongs to another user (uid %d)\n"
                      % (port, self.nobody_uid), result.stderr.decode())
        self.assertEqual(["M", "secret.txt"], self.recorded()[-2:])

    @unittest.skipUnless(os.path.exists(DEMO_JAR), "the demo jar is not built")
    def test_commands_forged_by_another_user_are_dropped_by_the_instance(self):
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            port = probe.getsockname()[1]
        self.write("app.config", "javapath %s\naddpath %s\nmainclass com.larkwin.demo.Demo\n"
                   "socket %d\n" % (JAVA, DEMO_JAR, port))
        instance = subprocess.Popen(**self.command(["--serve", str(BOUND)]),
                                    stdout=subprocess.PIPE, stderr=subprocess.PIPE, bufsize=0)
        self.addCleanup(instance.kill)
        self.addCleanup(instance.stdout.close)
        self.addCleanup(instance.stderr.close)
        seen = []
        while not seen or not seen[-1].startswith("listening on"):
            seen.append(read_line(instance.stdout, "the instance"))
        forger = subprocess.run(self.as_nobody + [sys.executable, "-c", FORGER, str(port)],
                                cwd="/", capture_output=True, timeout=BOUND)
        self.assertEqual(0, forger.returncode, forger)
        self.assertEqual(0, self.launch("+SHELL", "genuine.txt", timeout=BOUND).returncode)
        # Connections are served in order: the forged ones came first.
        self.assertEqual("open " + self.path("genuine.txt"), read_line(instance.stdout, "the instance"))
        self.assertEqual(0, self.launch("+SHELL", "stop", timeout=BOUND).returncode)
        rest, errors = instance.communicate(timeout=BOUND)
        self.assertEqual(0, instance.returncode)
        self.assertNotIn("forged", rest.decode())
        self.assertIn("dropped a connection from another user (uid %d)" % self.nobody_uid,
                      errors.decode())


class InstanceThatDoesNotAccept(HostileTest):
    def test_full_backlog_is_given_up_and_the_jvm_launched_here(self):
        classes = self.compile_java({"Args.java": """
            public class Args {
                public static void main(String[] args) {
                    System.out.println("local " + String.join(",", args));
                }
            }"""})
        server = socket.socket()
        self.addCleanup(server.close)
        server.bind(("127.0.0.1", 0))
        server.listen(0)
        port = server.getsockname()[1]
        # Connections until one stays pending: the backlog is then full, and
        # the kernel drops further attempts instead of refusing them.
        for _ in range(16):
            filler = socket.socket()
            self.addCleanup(filler.close)
            filler.setblocking(False)
            filler.connect_ex(("127.0.0.1", port))
            _, writable, _ = select.select([], [filler], [], 2)
            if not writable:
                break
        else:
            self.skipTest("the backlog of a listener that never accepts does not fill here")
        self.write("app.config", "javapath %s\naddpath %s\nmainclass Args\nsocket %d\n"
                   % (JAVA, classes, port))
        # The connect's bound itself: CommandChannel.AListenerWhoseBacklogIsFull*.
        result = self.launch("+SHELL", "+DEBUG", "x", timeout=BOUND)
        self.assertEqual(0, result.returncode, result)
        self.assertIn("Can't send message\n", result.stderr.decode())
        self.assertIn("local x\n", result.stdout.decode())


class WritableByOthers(HostileTest):
    def test_includedir_that_others_may_write_is_refused(self):
        java = self.stand_in_java()
        os.makedirs(self.path("conf.d"))
        os.chmod(self.path("conf.d"), 0o777)
        self.write("conf.d/evil.config", "javapath ../evil\n")
        self.write("evil", "#!/bin/sh\ntouch %s\n" % self.path("ran"), 0o755)
        self.write("app.config", "javapath %s\nmainclass M\nincludedir conf.d\n" % java)
        for mode in (0o777, 0o1777):
            with self.subTest(mode=oct(mode)):
                os.chmod(self.path("conf.d"), mode)
                self.assertOneLine(self.launch(timeout=BOUND), 254,
                                   "Refusing '%s': other users may write to it" % self.path("conf.d"))
        self.assertFalse(os.path.exists(self.path("ran")))
        self.assertEqual(0, self.runs())

    def test_configuration_and_jar_directories_that_others_may_write_are_refused(self):
        os.makedirs(self.path("lib"))
        config = self.configure("mainclass M\naddjars lib\n", "app.config")
        os.chmod(self.path("lib"), 0o1777)
        self.assertOneLine(self.launch(timeout=BOUND), 254,
                           "Refusing '%s': other users may write to it" % self.path("lib"))
        os.chmod(self.path("lib"), 0o755)
        os.chmod(config, 0o666)
        self.assertOneLine(self.launch(timeout=BOUND), 254,
                           "Refusing '%s': other users may write to it" % config)
        self.assertEqual(0, self.runs())

    def test_a_sticky_directory_such_as_tmp_is_fine(self):
        os.chmod(self.dir, 0o1777)
        self.configure("mainclass M\n")
        result = self.launch(timeout=BOUND)
        self.assertEqual(0, result.returncode, result)
        os.chmod(self.dir, 0o777)
        self.assertOneLine(self.launch(timeout=BOUND), 254,
                           "Refusing '%s': other users may write to its directory"
                           % self.path("app.config"))


class HostileConfiguration(HostileTest):
    def test_include_of_an_endless_stream(self):
        self.configure("mainclass M\ninclude /dev/zero\n")
        self.assertOneLine(self.launch(timeout=BOUND), 254,
                           "Refusing '/dev/zero': a configuration may hold at most 64 MiB")

    def test_fifty_thousand_nested_includes(self):
        depth = 50000
        for level in range(1, depth):
            self.write("inc/%d.config" % level, "include %d.config\n" % (level + 1))
        self.write("inc/%d.config" % depth, "mainclass Deep\n")
        self.configure("include inc/1.config\n")
        self.assertOneLine(self.launch(timeout=BOUND), 254,
                           "Refusing '%s': includes may nest at most 1000 deep"
                           % self.path("inc", "1001.config"))

    def test_running_out_of_memory_is_reported(self):
        if WRAPPER or sanitized():
            self.skipTest("a memory limit is meaningless under valgrind or the sanitizers")
        line = b"# " + b"x" * 97 + b"\n"
        self.configure("mainclass M\n" + (line * (40 * 1024 * 1024 // len(line))).decode())
        limit = 32 * 1024 * 1024
        result = subprocess.run(**self.command([]), capture_output=True, timeout=BOUND,
                                preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_AS,
                                                                      (limit, limit)))
        self.assertOneLine(result, 254, "Out of memory")
        self.assertEqual(0, self.runs())


class BundleOver2GiB(HostileTest):
    def test_a_sparse_bundle_of_2_2_gb_reads_its_comment(self):
        self.stand_in_java()
        comment = b"javapath jre/bin/java\nmainclass FromComment\n"
        record = b"PK\x05\x06" + bytes(16) + len(comment).to_bytes(2, "little") + comment
        size = 2200 * 1000 * 1000
        with open(self.app, "r+b") as bundle:
            bundle.truncate(size - len(record))
            bundle.seek(size - len(record))
            bundle.write(record)
        result = self.launch("+DEBUG", timeout=BOUND)
        self.assertEqual(0, result.returncode, result)
        self.assertEqual(os.path.getsize(self.app), size)
        self.assertEqual(["-cp", self.app], self.recorded()[1:3])
        self.assertEqual("FromComment", self.recorded()[-1])


if __name__ == "__main__":
    unittest.main()
