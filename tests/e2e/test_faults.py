"""Faults from end to end: bad configurations and bundles, a java that cannot
run, signals, huge environments, a peer that resets, very long names and a
read-only /tmp. Each gives one clear line and its status (254 after a
reported failure, 127 when java cannot be executed, 128 + n after signal n),
leaves no environment dump behind, and ends within its time bound."""

import os
import random
import select
import shutil
import signal
import socket
import struct
import subprocess
import threading
import unittest
import zipfile

from harness import LauncherTest, Listener, WRAPPER, dump_files, dumps_left_since

# Seconds a single faulty launch may take; a hang fails the case.
BOUND = 60


class FaultTest(LauncherTest):
    def setUp(self):
        super().setUp()
        self.dumps_before = dump_files()
        self.addCleanup(self.assertNoDumpLeft)

    def assertNoDumpLeft(self):
        self.assertEqual(set(), dumps_left_since(self.dumps_before, self.dir))

    def configure(self, text, name="app.config"):
        """A configuration with the stand-in java, exportenv (so that a dump
        exists whenever the failure comes later) and the given text."""
        self.stand_in_java()
        header = b"javapath jre/bin/java\nexportenv\n"
        return self.write(name, header + (text.encode() if isinstance(text, str) else text))

    def assertOneLine(self, result, status, message, stream="stdout"):
        self.assertEqual(status, result.returncode, result)
        self.assertEqual(message + "\n", getattr(result, stream).decode("latin-1"))

    def assertCannotExecute(self, result, java, reason):
        self.assertOneLine(result, 127, "Unable to execute %s: %s" % (java, reason), "stderr")


class BadConfiguration(FaultTest):
    def test_directory_as_configuration(self):
        os.makedirs(self.path("conf.d"))
        self.assertOneLine(self.launch("+CONFIG", "conf.d", timeout=BOUND), 254,
                           "Unable to open '%s'" % self.path("conf.d"))

    def test_fifo_as_configuration_is_read_to_its_end(self):
        self.stand_in_java()
        fifo = self.path("fifo.config")
        os.mkfifo(fifo)
        text = b"javapath jre/bin/java\nexportenv\nmainclass F\n"

        def feed():
            with open(fifo, "wb") as out:
                out.write(text)

        writer = threading.Thread(target=feed, daemon=True)
        writer.start()
        result = self.launch("+CONFIG", fifo, timeout=BOUND)
        writer.join(BOUND)
        self.assertEqual(0, result.returncode, result)
        self.assertEqual("F", self.recorded()[-1])

    def test_fifo_closed_without_text_is_an_empty_configuration(self):
        fifo = self.path("fifo.config")
        os.mkfifo(fifo)
        writer = threading.Thread(target=lambda: open(fifo, "wb").close(), daemon=True)
        writer.start()
        result = self.launch("+CONFIG", fifo, timeout=BOUND)
        writer.join(BOUND)
        self.assertOneLine(result, 254, "Main class not defined.")

    def test_fifo_nobody_writes_waits_and_ends_on_sigterm(self):
        # Like any reader of a FIFO the launcher waits for a writer; it has
        # started nothing yet, so SIGTERM simply ends it.
        fifo = self.path("fifo.config")
        os.mkfifo(fifo)
        launcher = subprocess.Popen(**self.command(["+CONFIG", fifo]), stdout=subprocess.PIPE)
        self.addCleanup(launcher.stdout.close)
        try:
            launcher.wait(1)
            self.fail("returned without a writer")
        except subprocess.TimeoutExpired:
            pass
        launcher.send_signal(signal.SIGTERM)
        self.assertEqual(-signal.SIGTERM, launcher.wait(BOUND))

    def test_fifty_megabytes_of_configuration(self):
        line = b"# " + b"x" * 97 + b"\n"
        self.configure(line * (50 * 1024 * 1024 // len(line)) + b"mainclass Big\n")
        result = self.launch(timeout=BOUND)
        self.assertEqual(0, result.returncode, result)
        self.assertEqual("Big", self.recorded()[-1])

    def test_text_after_a_nul_byte_is_ignored(self):
        self.configure(b"mainclass M\n\0Unknown directive\n\xff\xfe")
        result = self.launch(timeout=BOUND)
        self.assertEqual(0, result.returncode, result)
        self.assertEqual("M", self.recorded()[-1])

    def test_binary_garbage_names_the_first_word(self):
        garbage = bytes(random.Random(8).randrange(1, 256) for _ in range(65536))
        self.configure(b"\x80" + garbage)
        first_line = (b"\x80" + garbage).replace(b"\r", b"\n").split(b"\n")[0]
        word = first_line.strip(b" \t").split(b" ")[0]
        result = self.launch(timeout=BOUND)
        self.assertOneLine(result, 254, "Unrecognized directive '%s'" % word.decode("latin-1"))


class BadBundle(FaultTest):
    def bundle(self, comment):
        """The launcher with a zip archive appended whose comment is given."""
        archive = self.path("archive.zip")
        with zipfile.ZipFile(archive, "w") as out:
            out.writestr("M.class", b"not really a class")
            out.comment = comment
        with open(self.app, "ab") as launcher, open(archive, "rb") as appended:
            launcher.write(appended.read())
        with open(self.app, "rb") as launcher:
            return bytearray(launcher.read())

    def rewrite(self, data):
        with open(self.app, "wb") as out:
            out.write(data)

    def test_comment_length_that_lies_is_no_comment(self):
        self.stand_in_java()
        comment = b"javapath jre/bin/java\nmainclass FromComment\n"
        data = self.bundle(comment)
        length_at = len(data) - len(comment) - 2
        for lie in (len(comment) + 1, len(comment) - 1, 0xFFFF):
            with self.subTest(lie=lie):
                data[length_at:length_at + 2] = struct.pack("<H", lie)
                self.rewrite(data)
                # No comment, so the default configuration is looked for.
                self.assertOneLine(self.launch(timeout=BOUND), 254,
                                   "Unable to open '%s.config'" % self.app)

    def test_truncated_bundle_falls_back_to_the_file_beside_it(self):
        comment = b"javapath jre/bin/java\nmainclass FromComment\n"
        data = self.bundle(comment)
        self.configure("mainclass Beside\n")
        for cut in (1, len(comment) + 22, len(comment) + 200):
            with self.subTest(cut=cut):
                self.rewrite(data[:-cut])
                result = self.launch(timeout=BOUND)
                self.assertEqual(0, result.returncode, result)
                self.assertEqual("Beside", self.recorded(self.runs())[-1])


class JavaCannotRun(FaultTest):
    def test_directory_missing_or_not_executable(self):
        os.makedirs(self.path("dir-java"))
        self.write("plain-java", "#!/bin/sh\nexit 0\n", 0o644)
        cases = [
            ("dir-java", "Permission denied"),
            ("missing-java", "No such file or directory"),
            ("plain-java", "Permission denied"),
        ]
        for java, reason in cases:
            with self.subTest(java=java):
                self.write("app.config", "javapath %s\nexportenv\nmainclass M\n" % java)
                self.assertCannotExecute(self.launch(timeout=BOUND), self.path(java), reason)

    def test_directory_found_as_java_home_java(self):
        os.makedirs(self.path("jdk", "bin", "java"))
        self.write("app.config", "exportenv\nmainclass M\n")
        result = self.launch(env={"JAVA_HOME": self.path("jdk")}, timeout=BOUND)
        self.assertCannotExecute(result, self.path("jdk", "bin", "java"), "Permission denied")

    def test_argument_list_too_long_for_execv(self):
        if WRAPPER:
            self.skipTest("under a wrapper the failed execv is the wrapper's to report")
        java = self.stand_in_java()
        # Parameters after the main class, one long option, and 4,000 jars
        # of ordinary names (about 300 KB as one argument) for a runtime of
        # unknown version, which would not read an argument file.
        jars = "".join("addpath lib/org.example.component-%04d-2.17.1.jar\n" % n
                       for n in range(4000))
        for name, text in [
            ("many.config", "addparam %s\n" % ("p" * 1000) * 3000),
            ("long.config", "vmparam -D%s\n" % ("v" * 200000)),
            ("jars.config", jars),
        ]:
            with self.subTest(config=name):
                self.configure("mainclass M\n" + text, name)
                result = self.launch("+CONFIG", name, timeout=BOUND)
                self.assertCannotExecute(result, java, "Argument list too long")
                self.assertEqual(0, self.runs())


class Signals(FaultTest):
    def test_child_killed_by_sigkill_gives_137(self):
        self.configure("mainclass M\n")
        self.write("jre/bin/java", "#!/bin/sh\nkill -KILL $$\n", 0o755)
        result = self.launch(timeout=BOUND)
        self.assertEqual(128 + signal.SIGKILL, result.returncode, result)
        self.assertEqual(b"", result.stdout)

    def test_sigterm_to_the_launcher_stops_the_child_and_passes_its_status(self):
        read_end, write_end = os.pipe()
        self.configure("mainclass M\n")
        # The child says its pid and then becomes a process that only waits.
        self.write("jre/bin/java",
                   "#!/bin/sh\necho $$ >&%d\nexec sleep %d\n" % (write_end, BOUND * 2), 0o755)
        launcher = subprocess.Popen(**self.command([]), pass_fds=(write_end,))
        os.close(write_end)
        try:
            ready, _, _ = select.select([read_end], [], [], BOUND)
            self.assertTrue(ready, "the child did not start")
            child = int(os.read(read_end, 64).decode())
        finally:
            os.close(read_end)
        launcher.send_signal(signal.SIGTERM)
        self.assertEqual(128 + signal.SIGTERM, launcher.wait(BOUND))
        # The launcher has reaped the child: no such process is left.
        with self.assertRaises(ProcessLookupError):
            os.kill(child, 0)


class ClosedOutput(FaultTest):
    """Standard output is a pipe whose reader has gone (a pager that quit)."""

    def launch_into_closed_pipe(self, *args):
        read_end, write_end = os.pipe()
        os.close(read_end)
        try:
            return subprocess.run(**self.command(list(args)), stdout=write_end,
                                  stderr=subprocess.PIPE, timeout=BOUND)
        finally:
            os.close(write_end)

    def test_debug_echo_into_a_closed_pipe_keeps_the_status(self):
        self.configure("mainclass M\n")
        self.write("jre/bin/exit.1", "42\n")
        result = self.launch_into_closed_pipe("+DEBUG")
        self.assertEqual(42, result.returncode, result)
        self.assertEqual(1, self.runs())

    def test_failure_message_into_a_closed_pipe_keeps_254(self):
        self.configure("Unknown\n")
        self.assertEqual(254, self.launch_into_closed_pipe().returncode)


class Environment(FaultTest):
    def test_ten_thousand_variables_with_every_byte_are_dumped_exactly(self):
        self.configure("mainclass M\n")
        every_byte = bytes(range(1, 256))
        environment = {b"PATH": b"/usr/bin:/bin", b"LW_EVERY": every_byte,
                       b"LARKWIN_TEST_DIR": self.dir.encode()}
        for i in range(10000):
            start = i * 51 % 255
            environment[b"LW_%05d" % i] = (every_byte * 2)[start:start + 51]
        # A byte that ends the name would split it; every byte 1..255 but "="
        # goes into one name as well.
        environment[bytes(b for b in every_byte if b != ord("="))] = b"odd name"
        options = self.command([])
        options["env"] = environment
        result = subprocess.run(**options, capture_output=True, timeout=BOUND)
        self.assertEqual(0, result.returncode, result)

        def escaped(text):
            out = []
            for byte in text:
                if byte == 0x5C:
                    out.append(b"\\\\")
                elif 0x20 <= byte <= 0x7F:
                    out.append(bytes([byte]))
                else:
                    out.append(b"\\u00%02x" % byte)
            return b"".join(out)

        lines = [escaped(name) + b"=" + escaped(value) + b"\n" for name, value in environment.items()]
        with open(self.path("jre", "bin", "dump.1"), "rb") as dump:
            text = dump.read()
        if WRAPPER:
            # valgrind adds variables of its own and drops the odd name.
            for line in lines:
                if line.startswith(b"LW_"):
                    self.assertIn(line, text)
        else:
            self.assertEqual(b"".join(lines), text)
        dump_path = [a for a in self.recorded() if a.startswith("-Dlarkwin.exportenv=")]
        self.assertEqual(1, len(dump_path))
        self.assertFalse(os.path.exists(dump_path[0].split("=", 1)[1]))


class ResettingListener(Listener):
    """Accepts each connection and, once the command has arrived, resets it
    without reading it: what the launcher does next meets the reset."""

    def _accept(self, expected):
        try:
            for _ in range(expected):
                connection, _ = self.server.accept()
                select.select([connection], [], [], self.server.gettimeout())
                self.payloads.append(connection.recv(65536, socket.MSG_PEEK))
                connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                                      struct.pack("ii", 1, 0))
                connection.close()
        except OSError:
            pass


class Shell(FaultTest):
    def test_listener_that_resets_is_no_crash(self):
        self.stand_in_java()
        listener = ResettingListener(expected=3)
        self.configure("mainclass M\nsocket %d\n" % listener.port)
        result = self.launch("+SHELL", "a", "b", "c", timeout=BOUND)
        listener.close()
        # Each command was sent before the reset: it counts as delivered,
        # and the reset of the connection is no SIGPIPE.
        self.assertEqual(0, result.returncode, result)
        self.assertEqual([b"open " + self.path(name).encode() for name in "abc"],
                         listener.payloads)
        self.assertEqual(0, self.runs())


class LongNames(FaultTest):
    def test_long_directive_word(self):
        word = "w" * 100000
        self.configure(word + " argument\n")
        self.assertOneLine(self.launch(timeout=BOUND), 254, "Unrecognized directive '%s'" % word)

    def test_long_configuration_path(self):
        name = "/".join(["d" * 200] * 30)
        self.assertOneLine(self.launch("+CONFIG", name, timeout=BOUND), 254,
                           "Unable to open '%s'" % self.path(name))

    def test_long_java_path(self):
        java = self.path("/".join(["j" * 250] * 20))
        self.write("app.config", "javapath %s\nexportenv\nmainclass M\n" % java)
        self.assertCannotExecute(self.launch(timeout=BOUND), java, "File name too long")

    def test_working_directory_deeper_than_any_path_buffer(self):
        # Made and entered one level at a time; no absolute name of it can be
        # opened, so the launcher cannot open itself by its absolute path.
        component = "c" * 200
        depth = 30
        fd = os.open(self.dir, os.O_RDONLY)
        try:
            for _ in range(depth):
                os.mkdir(component, dir_fd=fd)
                inner = os.open(component, os.O_RDONLY, dir_fd=fd)
                os.close(fd)
                fd = inner
            with open(self.app, "rb") as source:
                copy = os.open("app", os.O_WRONLY | os.O_CREAT, 0o755, dir_fd=fd)
                os.write(copy, source.read())
                os.close(copy)
            options = self.command([], argv0="./app")
            options.pop("executable", None)
            options.pop("cwd")
            deep_fd = fd
            result = subprocess.run(**options, capture_output=True, timeout=BOUND,
                                    preexec_fn=lambda: os.fchdir(deep_fd))
        finally:
            os.close(fd)
        deep = self.dir + ("/" + component) * depth
        self.assertOneLine(result, 254, "Unable to open '%s/app'" % deep)


class ReadOnlyTmp(FaultTest):
    def test_dump_cannot_be_created(self):
        if WRAPPER:
            self.skipTest("the wrapper needs a writable /tmp itself")
        if shutil.which("unshare") is None:
            self.skipTest("needs unshare for a private read-only /tmp")
        # Without root, a user namespace of its own lets the test mount.
        unshare = ["unshare", "-m"] if os.geteuid() == 0 else ["unshare", "-r", "-m"]
        probe = subprocess.run(unshare + ["true"], capture_output=True, timeout=BOUND)
        if probe.returncode != 0:
            self.skipTest("private mount namespaces are not permitted here: %s"
                          % probe.stderr.decode().strip())
        self.configure("mainclass M\n")
        options = self.command([])
        script = ("mount --bind /tmp /tmp && mount -o remount,ro,bind /tmp && exec \"$@\"")
        options["args"] = unshare + ["sh", "-c", script, "sh"] + options["args"]
        options.pop("executable", None)
        result = subprocess.run(**options, capture_output=True, timeout=BOUND)
        self.assertOneLine(result, 254, "Unable to create temporary file.")
        self.assertEqual(0, self.runs())


if __name__ == "__main__":
    unittest.main()
