"""The demo bundle as the single instance: a second launcher started with
"+SHELL" hands its files over and starts no JVM."""

import os
import queue
import socket
import subprocess
import threading
import unittest

from harness import JAVA, LARKWIN_PACK, TIMEOUT, LauncherTest

DEMO_JAR = os.environ.get("LARKWIN_DEMO_JAR", "")


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class OutputLines:
    """Reads a process's output on a thread, so each wait has a deadline."""

    def __init__(self, stream):
        self.lines = queue.Queue()
        threading.Thread(target=self._read, args=(stream,), daemon=True).start()

    def _read(self, stream):
        for line in stream:
            self.lines.put(line.decode().rstrip("\n"))
        self.lines.put(None)

    def wait_for(self, prefix):
        seen = []
        while True:
            line = self.lines.get(timeout=TIMEOUT)
            if line is None or line.startswith(prefix):
                return line, seen
            seen.append(line)


@unittest.skipUnless(os.path.exists(DEMO_JAR) and os.path.exists(LARKWIN_PACK),
                     "the demo jar or larkwin-pack is not built")
class DemoInstance(LauncherTest):
    def test_second_launcher_forwards_files_to_the_running_demo(self):
        port = free_port()
        config = self.write("demo.config", "mainclass com.larkwin.demo.Demo\nsocket %d\n" % port)
        demo = self.path("demo")
        subprocess.run([LARKWIN_PACK, "-o", demo, "--config", config, DEMO_JAR],
                       check=True, timeout=TIMEOUT, capture_output=True)
        first = subprocess.Popen([demo, "--serve", str(TIMEOUT)], cwd=self.dir,
                                 env=dict(os.environ, PATH=os.path.dirname(JAVA)),
                                 stdout=subprocess.PIPE)
        self.addCleanup(first.kill)
        output = OutputLines(first.stdout)
        listening, _ = output.wait_for("listening on")
        self.assertIsNotNone(listening)

        # Without java on PATH a local launch would fail with 254: a clean,
        # silent 0 shows that nothing was launched.
        os.makedirs(self.path("docs"))
        second = self.launch("+SHELL", "a.txt", "b c.txt", executable=demo,
                             cwd=self.path("docs"), env={"PATH": "/nonexistent"})
        self.assertEqual((0, b""), (second.returncode, second.stdout), second)
        for name in ("a.txt", "b c.txt"):
            line, _ = output.wait_for("open ")
            self.assertEqual("open " + self.path("docs", name), line)

        self.launch("+SHELL", "stop", executable=demo, env={"PATH": "/nonexistent"})
        stopped, _ = output.wait_for("stopped listening")
        self.assertIsNotNone(stopped)
        self.assertEqual(0, first.wait(TIMEOUT))


if __name__ == "__main__":
    unittest.main()
