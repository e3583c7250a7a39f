"""Choosing the Java runtime with javaversion and javasearch: runtime homes
made here (a release file and a stand-in bin/java that records its command
line) under a javasearch directory, and the real JDK 17 under /usr/lib/jvm.

The homes made here name versions far beyond any real runtime, so that the
runtimes installed on the machine (found in the usual install places) never
fit their requirements."""

import os
import shutil
import unittest

from harness import STAND_IN_JAVA, LauncherTest, feature_version

JDK17 = "/usr/lib/jvm/java-17-openjdk-amd64"
DOWNLOAD = ("Please download and install a Java Runtime from\n"
            "https://www.larkwin.org/anvilry/resources/javaruntime.html")


class RuntimeHomesTest(LauncherTest):
    def home(self, name, version):
        """A runtime home rt/name whose release file names version (none when
        version is None); its stand-in java."""
        java = self.write("rt/%s/bin/java" % name, STAND_IN_JAVA, 0o755)
        if version is not None:
            self.write("rt/%s/release" % name, 'IMPLEMENTOR="test"\nJAVA_VERSION="%s"\n' % version)
        return java

    def tools(self):
        """A PATH with no java on it, but the tools that the stand-in needs."""
        tools = self.path("tools")
        if not os.path.isdir(tools):
            os.makedirs(tools)
            for tool in ("dirname", "cat"):
                os.symlink(shutil.which(tool), os.path.join(tools, tool))
        return tools

    def ran(self, name):
        """The command line that the java of rt/name recorded, or None."""
        record = self.path("rt", name, "bin", "record.1")
        if not os.path.exists(record):
            return None
        with open(record) as lines:
            return lines.read().split("\n")[:-1]

    def homes(self):
        return {
            "a-old": self.home("a-old", "101.0.2"),
            "b-fits": self.home("b-fits", "117.0.21.1"),
            "c-fits-higher": self.home("c-fits-higher", "119+35"),
            "d-new": self.home("d-new", "130-ea"),
            "e-unknown": self.home("e-unknown", None),
        }


class JavaSearchTest(RuntimeHomesTest):
    def test_highest_fitting_version_wins(self):
        javas = self.homes()
        self.write("app.config", "mainclass M\njavaversion 110-120\njavasearch rt\n")
        result = self.launch("p")
        self.assertEqual(0, result.returncode, result)
        self.assertEqual([javas["c-fits-higher"], "-Dlarkwin.executable.path=" + self.app, "M", "p"],
                         self.ran("c-fits-higher"))
        for other in ("a-old", "b-fits", "d-new", "e-unknown"):
            self.assertIsNone(self.ran(other), other)

    def test_a_home_another_user_planted_in_an_open_search_directory_is_refused(self):
        javas = self.homes()
        evil = self.home("zz-evil", "999")
        os.chmod(self.path("rt"), 0o1777)
        self.write("app.config", "mainclass M\njavaversion 110\njavasearch rt\n")
        result = self.launch("+DEBUG", env={"PATH": self.tools()})
        self.assertEqual(254, result.returncode, result)
        self.assertIsNone(self.ran("zz-evil"))
        out = result.stdout.decode()
        self.assertIn("  searched %s: passed over, %s: other users may write to it\n"
                      % (evil, self.path("rt")), out)
        self.assertIn("  %s: refused, %s: other users may write to it\n"
                      % (javas["d-new"], self.path("rt")), out)
        os.chmod(self.path("rt"), 0o755)
        result = self.launch(env={"PATH": self.tools()})
        self.assertEqual(0, result.returncode, result)
        self.assertIsNotNone(self.ran("zz-evil"))

    def test_java_home_that_misses_is_passed_over_and_debug_says_why(self):
        javas = self.homes()
        self.write("app.config", "mainclass M\njavaversion 115\njavasearch rt\n")
        result = self.launch("+DEBUG", env={"JAVA_HOME": self.path("rt", "a-old"),
                                             "PATH": self.tools()})
        self.assertEqual(0, result.returncode, result)
        self.assertIsNone(self.ran("a-old"))
        self.assertIsNotNone(self.ran("d-new"))
        out = result.stdout.decode()
        lines = out.split("\n")
        self.assertEqual("Choosing a Java runtime of version 115 or later:", lines[0])
        self.assertEqual("  JAVA_HOME %s, version 101: passed over, its version does not fit"
                         % javas["a-old"], lines[1])
        self.assertIn("  searched %s, version 117: passed over, a higher version fits"
                      % javas["b-fits"], lines)
        self.assertIn("  searched %s, version 130: taken" % javas["d-new"], lines)
        self.assertIn("  searched %s, version unknown: passed over, its version does not fit"
                      % javas["e-unknown"], lines)
        # The echo of the command line follows the trace, as it always reads.
        self.assertEqual("%s -Dlarkwin.executable.path=%s M" % (javas["d-new"], self.app), lines[-1])

    def test_a_fitting_java_home_is_taken_without_looking_further(self):
        javas = self.homes()
        self.write("app.config", "mainclass M\njavaversion 101-101\njavasearch rt\n")
        result = self.launch("+DEBUG", env={"JAVA_HOME": self.path("rt", "a-old")})
        self.assertEqual(0, result.returncode, result)
        self.assertIsNotNone(self.ran("a-old"))
        lines = result.stdout.decode().split("\n")
        self.assertEqual(["Choosing a Java runtime of version 101:",
                          "  JAVA_HOME %s, version 101: taken" % javas["a-old"]], lines[:2])
        self.assertNotIn("searched", result.stdout.decode())

    def test_javapath_that_misses_is_reported_not_replaced(self):
        javas = self.homes()
        self.write("app.config",
                   "mainclass M\njavapath rt/a-old/bin/java\njavaversion 110\njavasearch rt\n")
        result = self.launch(env={"PATH": ""})
        self.assertEqual(254, result.returncode, result)
        out = result.stdout.decode()
        self.assertTrue(out.startswith(
            "The configured javapath %s is version 101, which does not fit the required version "
            "110 or later. Other runtimes seen:\n" % javas["a-old"]), out)
        self.assertIn("\n  %s: version 119\n" % javas["c-fits-higher"], out)
        self.assertTrue(out.endswith(
            "Change javapath or javaversion, or download and install a Java Runtime from\n"
            "https://www.larkwin.org/anvilry/resources/javaruntime.html\n"), out)
        for name in javas:
            self.assertIsNone(self.ran(name), name)

    def test_failure_lists_every_runtime_seen(self):
        javas = self.homes()
        self.write("app.config", "mainclass M\njavaversion 140-150\njavasearch rt\n")
        result = self.launch(env={"JAVA_HOME": self.path("rt", "b-fits")})
        self.assertEqual(254, result.returncode, result)
        out = result.stdout.decode()
        lines = out.split("\n")
        self.assertEqual("Unable to find a Java Runtime of version 140 to 150. Runtimes seen:",
                         lines[0])
        self.assertEqual("  %s: version 117" % javas["b-fits"], lines[1])
        for name, version in [("a-old", "version 101"), ("c-fits-higher", "version 119"),
                              ("d-new", "version 130"), ("e-unknown", "version unknown")]:
            self.assertIn("  %s: %s" % (javas[name], version), lines)
        self.assertEqual(1, out.count(javas["b-fits"]))
        self.assertTrue(out.endswith(DOWNLOAD + "\n"), out)
        if os.path.exists(JDK17 + "/release"):
            self.assertIn("  %s/bin/java: version 17" % JDK17, lines)

    def test_only_javasearch_takes_the_first_runtime_that_exists(self):
        javas = self.homes()
        self.write("app.config", "mainclass M\njavasearch rt/d-new\njavasearch rt\n")
        result = self.launch(env={"PATH": self.tools()})
        self.assertEqual(0, result.returncode, result)
        self.assertEqual(javas["d-new"], self.ran("d-new")[0])

    def test_malformed_requirement_names_its_argument(self):
        self.write("app.config", "mainclass M\njavaversion 17.0.2\n")
        self.assertFailure(self.launch(), "Malformed javaversion '17.0.2': write a feature release "
                           "such as 17, or a range such as 11-17")


class UnchangedDiscoveryTest(RuntimeHomesTest):
    """Without either directive the runtime is found as it always was: no
    release file is read and nothing is traced."""

    def test_java_home_wins_even_when_its_version_is_unknown(self):
        javas = self.homes()
        self.write("app.config", "mainclass M\n")
        self.write("rt/e-unknown/bin/exit.1", "7\n")
        result = self.launch("+DEBUG", env={"JAVA_HOME": self.path("rt", "e-unknown") + "/"})
        self.assertEqual(7, result.returncode, result)
        java = self.path("rt", "e-unknown") + "//bin/java"
        self.assertEqual(java, self.ran("e-unknown")[0])
        self.assertEqual("%s -Dlarkwin.executable.path=%s M" % (java, self.app),
                         result.stdout.decode())
        del javas

    def test_path_java_is_run_by_the_path_it_was_found_by(self):
        javas = self.homes()
        os.makedirs(self.path("bin"))
        os.symlink(javas["a-old"], self.path("bin", "java"))
        self.write("app.config", "mainclass M\n")
        result = self.launch(env={"PATH": self.path("bin") + ":" + self.tools()})
        self.assertEqual(0, result.returncode, result)
        # The stand-in records beside the name it was started by.
        with open(self.path("bin", "record.1")) as record:
            self.assertEqual(self.path("bin", "java"), record.readline().rstrip("\n"))

    def test_no_runtime_gives_the_two_line_message(self):
        self.write("app.config", "mainclass M\n")
        self.assertFailure(self.launch(env={"PATH": ""}),
                           "Unable to find a Java Runtime. " + DOWNLOAD)


@unittest.skipUnless(feature_version(JDK17) == 17,
                     "no JDK 17 in %s (its release file says %d)" % (JDK17, feature_version(JDK17)))
class RealJdkTest(LauncherTest):
    def test_jdk17_is_found_under_usr_lib_jvm_with_empty_path_and_no_java_home(self):
        classes = self.compile_java({"Version.java": """
            public class Version {
                public static void main(String[] args) {
                    System.out.println(System.getProperty("java.specification.version"));
                }
            }"""})
        self.write("app.config", "addpath %s\nmainclass Version\njavaversion 17-17\n" % classes)
        result = self.launch("+DEBUG", env={"PATH": ""})
        self.assertEqual(0, result.returncode, result)
        lines = result.stdout.decode().split("\n")
        self.assertEqual("Choosing a Java runtime of version 17:", lines[0])
        taken = [line for line in lines if line.endswith(": taken")]
        self.assertEqual(1, len(taken), lines)
        self.assertTrue(taken[0].startswith("  searched /usr/lib/jvm/"), taken)
        java = taken[0].split(" ")[3].rstrip(",")
        self.assertEqual(os.path.realpath(JDK17 + "/bin/java"), os.path.realpath(java))
        # The echo has no line end: the application's output follows it.
        self.assertEqual("%s -classpath %s -Dlarkwin.executable.path=%s Version17"
                         % (java, classes, self.app), lines[-2])
        self.assertEqual("", lines[-1])


if __name__ == "__main__":
    unittest.main()
