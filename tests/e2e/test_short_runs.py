"""shortruns: the launcher measures each run's CPU time in both compiler
set-ups and keeps the cheaper one; it stands aside where the compilers are
set up already."""

import os
import re
import unittest

from harness import JAVA, LauncherTest, feature_version

# A java that burns CPU time before it becomes the real one, in all tiers
# only: so C1 only (-XX:TieredStopAtLevel=1) is clearly the cheaper mode,
# against the default the launcher would keep without measuring. The dump
# of the archive passes straight through.
BURNING_JAVA = """#!/bin/sh
case " $* " in
  *" -Xshare:dump "*|*" -XX:TieredStopAtLevel=1 "*) ;;
  *) i=0; while [ $i -lt %d ]; do i=$((i + 1)); done ;;
esac
exec %s "$@"
"""

APP = """
package demo;
public class App {
    public static void main(String[] args) { System.out.println("hello " + args.length); }
}
"""

REAL_HOME = os.path.dirname(os.path.dirname(JAVA))


@unittest.skipUnless(feature_version(REAL_HOME) >= 13, "needs a JDK of 13 or later")
class ShortRunsChooseTheCheaperMode(LauncherTest):

    def test_ends_on_the_mode_that_costs_less(self):
        # A runtime home whose java is the burning one and whose files are
        # the real runtime's.
        home = self.path("jre")
        os.makedirs(os.path.join(home, "bin"))
        for name in ("lib", "release", "conf"):
            if os.path.exists(os.path.join(REAL_HOME, name)):
                os.symlink(os.path.join(REAL_HOME, name), os.path.join(home, name))
        java = self.write("jre/bin/java", BURNING_JAVA % (400000, JAVA), 0o755)
        self.compile_java({"App.java": APP}, jar_name="app.jar")
        self.write("app.config", "javapath %s\naddpath app.jar\nmainclass demo.App\n"
                                 "startupcache cache\nshortruns\n" % java)
        first = self.launch("+DEBUG", env={"LARKWIN_STARTUP_CACHE": "wait"})
        self.assertEqual(0, first.returncode, first)
        said = []
        # Three runs that list their classes too (not timed), then three
        # of each mode in turn.
        for run in range(9):
            result = self.launch("+DEBUG")
            self.assertEqual(0, result.returncode, result)
            self.assertIn(b"hello 0", result.stdout)
            said += re.findall(rb"shortruns: ([^\n]*)", result.stdout)
        self.assertEqual(9, len(said), said)
        self.assertTrue(all(b"not timed" in line for line in said[:3]), said)
        modes = [line.split(b":")[0] for line in said[3:]]
        self.assertEqual([b"all tiers", b"C1 only"] * 3, modes)
        last = self.launch("+DEBUG")
        self.assertIn(b"shortruns: C1 only: C1 only costs clearly less CPU time", last.stdout)
        self.assertIn(b"-XX:TieredStopAtLevel=1 ", last.stdout)
        self.assertIn(b"hello 0", last.stdout)
        records = [n for n in os.listdir(self.path("cache")) if n.endswith(".jsa.runs")]
        self.assertEqual(1, len(records))
        with open(os.path.join(self.path("cache"), records[0])) as record:
            lines = record.read().split("\n")[:-1]
        self.assertEqual(7, len(lines), lines)
        costs = {"T": [], "C": []}
        for line in lines:
            _, mode, micros = line.split(" ")
            costs[mode].append(int(micros))
        self.assertGreater(min(costs["T"]), max(costs["C"][:3]), costs)


class ShortRunsStandAside(LauncherTest):

    def configure(self, extra=""):
        java = self.stand_in_java()
        self.write("app.config", "javapath %s\nmainclass demo.App\nstartupcache cache\n"
                                 "shortruns\n%s" % (java, extra))

    def said(self, *args, env=None):
        result = self.launch("+DEBUG", *args, env=env)
        self.assertEqual(0, result.returncode, result)
        return re.findall(r"shortruns: ([^\n]*)", result.stdout.decode())

    def test_stands_aside_where_the_compilers_are_set_up(self):
        cases = [
            ("vmparam -XX:TieredStopAtLevel=1\n", (), None,
             "the VM option '-XX:TieredStopAtLevel=1' sets the compilers up already"),
            ("vmparam -XX:-TieredCompilation\n", (), None,
             "the VM option '-XX:-TieredCompilation' sets the compilers up already"),
            ("", ("-J-Xint",), None, "the VM option '-Xint' sets the compilers up already"),
            ("vmparam -XX:CICompilerCount=2\n", (), None,
             "the VM option '-XX:CICompilerCount=2' sets the compilers up already"),
            ("", (), {"JAVA_TOOL_OPTIONS": "-Xcomp"},
             "JAVA_TOOL_OPTIONS sets the compilers up already"),
            ("", (), None, "the start-up cache stands aside"),
        ]
        for extra, args, env, reason in cases:
            self.configure(extra)
            self.assertEqual(["not used: " + reason], self.said(*args, env=env), extra)
            # Only the configuration's own option, if any, reaches java.
            self.assertEqual(extra.count("TieredStopAtLevel=1"),
                             self.recorded(self.runs()).count("-XX:TieredStopAtLevel=1"))

    def test_needs_the_cache_and_no_argument(self):
        java = self.stand_in_java()
        self.write("app.config", "javapath %s\nmainclass demo.App\nshortruns\n" % java)
        self.assertEqual(['not used: it works with "startupcache", which the configuration lacks'],
                         self.said())
        self.write("app.config", "javapath %s\nmainclass demo.App\nshortruns on\n" % java)
        self.assertFailure(self.launch(), "shortruns takes no argument: 'on'")
        self.write("app.config", "javapath %s\nmainclass demo.App\n" % java)
        self.assertEqual([], self.said())


if __name__ == "__main__":
    unittest.main()
