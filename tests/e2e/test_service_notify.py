"""The launcher as the main process of a systemd service: the demo's
readiness, status, stop and watchdog messages reach a datagram socket that
stands in for systemd's, and nothing changes without one."""

import os
import select
import signal
import socket
import subprocess
import time
import unittest

from harness import JAVA, TIMEOUT, LauncherTest

DEMO_JAR = os.environ.get("LARKWIN_DEMO_JAR", "")
RESTART_CODE = 3


class FakeServiceManager:
    """A datagram socket like systemd's notification socket."""

    def __init__(self, directory, abstract=False):
        self.socket = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
        if abstract:
            name = "larkwin-test-%d-%d" % (os.getpid(), id(self))
            self.socket.bind("\0" + name)
            self.address = "@" + name
        else:
            self.address = os.path.join(directory, "notify")
            self.socket.bind(self.address)
        self.socket.settimeout(TIMEOUT)

    def receive(self):
        return self.socket.recv(4096).decode()

    def waiting(self):
        """Every message that has arrived and not been received yet."""
        waiting = []
        while select.select([self.socket], [], [], 0)[0]:
            waiting.append(self.receive())
        return waiting

    def close(self):
        self.socket.close()


class NotifyCommandLineTest(LauncherTest):
    """What java is given, seen by a stand-in java that records it."""

    def test_the_channel_is_named_only_under_a_service_manager(self):
        self.stand_in_java()
        self.write("app.config", "javapath jre/bin/java\nvmparam -Dk=v\nmainclass Main\n")
        manager = FakeServiceManager(self.dir)
        self.addCleanup(manager.close)
        self.assertEqual(0, self.launch("p").returncode)
        self.assertEqual(0, self.launch("p", env={"NOTIFY_SOCKET": manager.address}).returncode)
        self.assertEqual(0, self.launch("p", env={"NOTIFY_SOCKET": "relative"}).returncode)
        plain, managed, unusable = self.recorded(1), self.recorded(2), self.recorded(3)
        self.assertFalse([a for a in plain if "larkwin.notify" in a], plain)
        self.assertEqual(plain, unusable)
        channel = [a for a in managed if a.startswith("-Dlarkwin.notify.fd=")]
        self.assertEqual(1, len(channel), managed)
        self.assertEqual(plain, [a for a in managed if a not in channel])
        self.assertEqual(managed.index("Main") - 1, managed.index(channel[0]),
                         "after the configured options, before the main class")
        self.assertEqual([], manager.waiting(), "java said nothing")


@unittest.skipUnless(DEMO_JAR and os.path.exists(DEMO_JAR), "the demo jar is not built")
class ServiceNotifyTest(LauncherTest):
    def setUp(self):
        super().setUp()
        self.write("app.config", "javapath %s\naddpath %s\nmainclass com.larkwin.demo.Demo\n"
                   "restartcode %d\n" % (JAVA, DEMO_JAR, RESTART_CODE))
        self.manager = FakeServiceManager(self.dir)
        self.addCleanup(lambda: self.manager.close())

    def start(self, env=None):
        environment = {"NOTIFY_SOCKET": self.manager.address}
        environment.update(env or {})
        process = subprocess.Popen(stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE,
                                   **self.command(["--service-commands"], env=environment))
        self.addCleanup(self.end, process)
        self.awaitLine(process, "reading service commands")
        return process

    def end(self, process):
        if process.poll() is None:
            process.kill()
        process.wait(TIMEOUT)
        for stream in (process.stdin, process.stdout, process.stderr):
            stream.close()

    def awaitLine(self, process, expected):
        while True:
            line = process.stdout.readline().decode()
            self.assertTrue(line, "the demo ended before it said %r" % expected)
            if line.rstrip("\n") == expected:
                return

    def say(self, process, command):
        process.stdin.write((command + "\n").encode())
        process.stdin.flush()
        self.awaitLine(process, "done " + command)

    def test_messages_follow_the_applications_calls(self):
        demo = self.start()
        self.assertEqual([], self.manager.waiting(), "nothing before the application's call")
        self.say(demo, "status warming up")
        self.assertEqual("STATUS=warming up", self.manager.receive())
        self.say(demo, "ready")
        self.assertEqual("READY=1", self.manager.receive())
        # Without WATCHDOG_USEC "alive" is not passed on: the status after it
        # is the next message.
        self.say(demo, "alive")
        self.say(demo, "status serving")
        self.assertEqual("STATUS=serving", self.manager.receive())
        self.say(demo, "stopping")
        self.assertEqual("STOPPING=1", self.manager.receive())
        demo.stdin.close()
        self.assertEqual(0, demo.wait(TIMEOUT))
        self.assertEqual([], self.manager.waiting())

    def test_term_says_stopping_before_java_ends(self):
        demo = self.start()
        self.say(demo, "ready")
        self.assertEqual("READY=1", self.manager.receive())
        demo.send_signal(signal.SIGTERM)
        self.assertEqual("STOPPING=1", self.manager.receive())
        self.assertEqual(143, demo.wait(TIMEOUT))

    def test_hup_is_passed_on_but_reported_as_no_stop(self):
        # Many applications reload on HUP; the JVM's default is to exit.
        demo = self.start()
        self.say(demo, "ready")
        self.assertEqual("READY=1", self.manager.receive())
        demo.send_signal(signal.SIGHUP)
        self.assertEqual(128 + signal.SIGHUP, demo.wait(TIMEOUT))
        self.assertEqual([], self.manager.waiting(), "no STOPPING=1 for HUP")

    def test_a_manager_that_never_reads_neither_holds_up_the_relay_nor_term(self):
        demo = self.start()
        # Far more statuses than the socket's queue holds; none is read.
        for n in range(64):
            self.say(demo, "status %d" % n)
        demo.send_signal(signal.SIGTERM)
        self.assertEqual(143, demo.wait(TIMEOUT))
        self.assertEqual("STATUS=0", self.manager.receive(), "the first ones were sent")

    def test_restart_reloads_then_waits_for_the_next_ready(self):
        demo = self.start()
        self.say(demo, "ready")
        self.assertEqual("READY=1", self.manager.receive())
        before = time.monotonic_ns() // 1000
        demo.stdin.write(b"exit %d\n" % RESTART_CODE)
        demo.stdin.flush()
        reloading = self.manager.receive().split("\n")
        self.assertEqual("RELOADING=1", reloading[0])
        self.assertTrue(reloading[1].startswith("MONOTONIC_USEC="), reloading)
        self.assertLessEqual(before, int(reloading[1][len("MONOTONIC_USEC="):]))
        self.awaitLine(demo, "reading service commands")
        self.assertEqual([], self.manager.waiting(), "not ready before the new call")
        self.say(demo, "ready")
        self.assertEqual("READY=1", self.manager.receive())
        demo.stdin.close()
        self.assertEqual(0, demo.wait(TIMEOUT))

    def test_watchdog_pings_only_while_the_application_is_alive(self):
        demo = self.start({"WATCHDOG_USEC": "500000"})
        self.say(demo, "alive")
        self.say(demo, "alive")
        self.assertEqual(["WATCHDOG=1", "WATCHDOG=1"],
                         [self.manager.receive(), self.manager.receive()])
        # The application goes quiet: so does the launcher, for longer than
        # the watchdog's time.
        self.manager.socket.settimeout(1.5)
        with self.assertRaises(socket.timeout):
            self.manager.receive()
        demo.stdin.close()
        self.assertEqual(0, demo.wait(TIMEOUT))

    def test_watchdog_meant_for_another_process_is_left_alone(self):
        demo = self.start({"WATCHDOG_USEC": "500000", "WATCHDOG_PID": "1"})
        self.say(demo, "alive")
        self.say(demo, "ready")
        self.assertEqual("READY=1", self.manager.receive())
        demo.stdin.close()
        self.assertEqual(0, demo.wait(TIMEOUT))

    def test_abstract_socket_name(self):
        self.manager.close()
        self.manager = FakeServiceManager(self.dir, abstract=True)
        self.addCleanup(self.manager.close)
        demo = self.start()
        self.say(demo, "ready")
        self.assertEqual("READY=1", self.manager.receive())
        demo.stdin.close()
        self.assertEqual(0, demo.wait(TIMEOUT))

    def test_output_and_exit_code_are_the_same_without_the_socket(self):
        def run(env):
            result = self.launch("one", "two words", env=env)
            return result.returncode, result.stdout, result.stderr
        with_socket = run({"NOTIFY_SOCKET": self.manager.address})
        without = run({})
        self.assertEqual(without, with_socket)
        self.assertEqual(0, without[0])
        self.assertEqual([], self.manager.waiting())


if __name__ == "__main__":
    unittest.main()
