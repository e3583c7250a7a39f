"""A JVM that crashes (-XX:+CrashOnOutOfMemoryError with a tiny heap): the
launcher names its report in one line on standard error, and "crashdir"
puts reports in a bounded directory of the application's."""

import os
import re
import subprocess
import time
import unittest

from harness import JAVA, TIMEOUT, LauncherTest

DEMO_JAR = os.environ.get("LARKWIN_DEMO_JAR", "")
LINE = re.compile(r"The Java VM crashed; its report is (/\S+/hs_err_pid\d+\.log)$")


@unittest.skipUnless(DEMO_JAR and os.path.exists(DEMO_JAR), "the demo jar is not built")
class CrashReportTest(LauncherTest):
    def crash(self, directive="", env=None):
        self.write("app.config", "javapath %s\naddpath %s\nmainclass com.larkwin.demo.Demo\n"
                   "vmparam -Xmx16m\nvmparam -XX:+CrashOnOutOfMemoryError\n"
                   "vmparam -XX:-CreateCoredumpOnCrash\n%s\n" % (JAVA, DEMO_JAR, directive))
        result = subprocess.run(input=b"fill-heap\n", capture_output=True, timeout=TIMEOUT,
                                **self.command(["--service-commands"], env=env))
        self.assertNotEqual(0, result.returncode)
        lines = [line for line in result.stderr.decode().splitlines() if "Java VM crashed" in line]
        self.assertEqual(1, len(lines), result.stderr.decode())
        match = LINE.match(lines[0])
        self.assertTrue(match, lines[0])
        self.assertTrue(os.path.isfile(match.group(1)))
        return match.group(1)

    def test_report_in_the_working_directory_is_named(self):
        report = self.crash()
        self.assertEqual(self.dir, os.path.dirname(report))

    def test_crashdir_takes_the_reports_and_stays_bounded(self):
        crashes = self.path("crashes")
        os.makedirs(crashes)
        old = time.time() - 3600
        for n in range(12):
            name = self.write("crashes/hs_err_pid%d.log" % (100000 + n), "old report")
            os.utime(name, (old + n, old + n))
        self.write("crashes/notes.txt", "not the JVM's")
        report = self.crash("crashdir crashes")
        self.assertEqual(crashes, os.path.dirname(report))
        left = sorted(os.listdir(crashes))
        self.assertIn(os.path.basename(report), left)
        self.assertIn("notes.txt", left)
        self.assertEqual(10, len([n for n in left if n.startswith("hs_err_pid")]), left)
        self.assertNotIn("hs_err_pid100000.log", left, "the oldest went first")

    def test_crashdir_alone_uses_the_services_state_directory(self):
        state = self.path("state")
        os.makedirs(state)
        report = self.crash("crashdir", env={"STATE_DIRECTORY": state + ":/elsewhere"})
        self.assertEqual(os.path.join(state, "crash"), os.path.dirname(report))
        self.assertEqual(0o700, os.stat(os.path.dirname(report)).st_mode & 0o777)


if __name__ == "__main__":
    unittest.main()
