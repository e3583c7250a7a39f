"""The launcher end to end with a stand-in java: the command line it builds,
where its configuration comes from, its failures and its exit status."""

import os
import unittest

from harness import LauncherTest, dump_files, dumps_left_since


class CommandLine(LauncherTest):
    def test_config_beside_the_executable_builds_the_exact_command_line(self):
        java = self.stand_in_java()
        self.write("lib/a b.jar", "")
        self.write(
            "app.config",
            "javapath jre/bin/java\r\n"
            "addpath lib/a b.jar\n"
            "addbootpath boot.jar\n"
            "vmparam -Dk=v w\n"
            "mainclass org.demo.App\n"
            "addparam from config\n",
        )
        result = self.launch("one", "-J-Xmx64m", "two")
        self.assertEqual(0, result.returncode, result)
        self.assertEqual(
            [
                java,
                "-cp",
                self.path("lib", "a b.jar"),
                "-Xbootclasspath/p:" + self.path("boot.jar"),
                "-Dk=v w",
                "-Dlarkwin.executable.path=" + self.app,
                "-Xmx64m",
                "org/demo/App",
                "one",
                "two",
                "from config",
            ],
            self.recorded(),
        )

    def test_debug_echoes_the_command_line_without_a_line_end(self):
        java = self.stand_in_java()
        self.write("app.config", "javapath jre/bin/java\naddpath x.jar\nmainclass M\n")
        result = self.launch("+DEBUG", "p")
        self.assertEqual(
            "%s -classpath %s -Dlarkwin.executable.path=%s M p"
            % (java, self.path("x.jar"), self.app),
            result.stdout.decode(),
        )

    def test_exit_code_of_the_child_is_the_launchers(self):
        self.stand_in_java(exits=[42])
        self.write("app.config", "javapath jre/bin/java\nmainclass M\n")
        self.assertEqual(42, self.launch().returncode)


class ConfigurationSource(LauncherTest):
    def test_link_uses_its_own_config_when_present_else_the_real_files(self):
        self.stand_in_java()
        os.makedirs(self.path("links"))
        link = self.path("links", "tool")
        os.symlink(self.app, link)
        self.write("app.config", "javapath jre/bin/java\nmainclass Real\n")
        self.launch(executable=link)
        self.assertEqual("Real", self.recorded(1)[-1])
        self.assertIn("-Dlarkwin.executable.path=" + self.app, self.recorded(1))
        self.write("links/tool.config", "javapath ../jre/bin/java\nmainclass Linked\n")
        self.launch(executable=link)
        self.assertEqual("Linked", self.recorded(2)[-1])

    def test_config_switch_last_one_wins(self):
        self.stand_in_java()
        self.write("one.config", "javapath jre/bin/java\nmainclass One\n")
        self.write("two.config", "javapath jre/bin/java\nmainclass Two\n")
        result = self.launch("+CONFIG", "one.config", "+CONFIG", "two.config")
        self.assertEqual(0, result.returncode, result)
        self.assertEqual("Two", self.recorded()[-1])

    def test_config_from_a_pipe(self):
        self.stand_in_java()
        read_end, write_end = os.pipe()
        os.write(write_end, b"javapath " + self.path("jre/bin/java").encode() + b"\nmainclass P\n")
        os.close(write_end)
        try:
            result = self.launch("+CONFIG", "/dev/fd/%d" % read_end, pass_fds=(read_end,))
        finally:
            os.close(read_end)
        self.assertEqual(0, result.returncode, result)
        self.assertEqual("P", self.recorded()[-1])

    def test_bare_name_is_found_along_path(self):
        self.stand_in_java()
        self.write("app.config", "javapath jre/bin/java\nmainclass M\n")
        result = self.launch(argv0="app", env={"PATH": "/nonexistent:%s:/usr/bin:/bin" % self.dir})
        self.assertEqual(0, result.returncode, result)
        self.assertIn("-Dlarkwin.executable.path=" + self.app, self.recorded())


class Failures(LauncherTest):
    def test_each_failure_prints_one_line_and_exits_254(self):
        cases = [
            ((), {}, "Unable to open '%s.config'" % self.app),
            (("+CONFIG",), {}, "+CONFIG must be followed by a path"),
            (("+CONFIG", "bad.config"), {"bad.config": "Include x\n"},
             "Unrecognized directive 'Include'"),
            (("+CONFIG", "none.config"), {"none.config": "# nothing\n"}, "Main class not defined."),
            (("+CONFIG", "loop.config"), {"loop.config": "include loop.config\n"},
             "Configuration include cycle at '%s'" % self.path("loop.config")),
        ]
        for args, files, message in cases:
            with self.subTest(args=args):
                for name, text in files.items():
                    self.write(name, text)
                self.assertFailure(self.launch(*args), message)

    def test_unknown_binary_path(self):
        result = self.launch(argv0="app", env={"PATH": ""})
        self.assertFailure(result, "Unable to determine binary path")

    def test_no_runtime(self):
        self.write("app.config", "mainclass M\n")
        result = self.launch(env={"PATH": self.path("nothing")})
        self.assertEqual(254, result.returncode, result)
        lines = result.stdout.decode().split("\n")
        self.assertEqual(
            "Unable to find a Java Runtime. Please download and install a Java Runtime from",
            lines[0],
        )
        self.assertTrue(lines[1].endswith("/anvilry/resources/javaruntime.html"), lines)


class RestartAndCleanUp(LauncherTest):
    def test_restart_runs_again_once_and_ends_with_the_second_code(self):
        self.stand_in_java(exits=[3, 5])
        self.write("app.config", "javapath jre/bin/java\nmainclass M\nrestartcode 3\n")
        result = self.launch("same", "+DEBUG")
        self.assertEqual(5, result.returncode, result)
        self.assertEqual(2, self.runs())
        self.assertEqual(self.recorded(1), self.recorded(2))
        # Output printed before the restart is not lost.
        self.assertEqual(2, result.stdout.decode().count("-Dlarkwin.executable.path="))

    def test_environment_dump_is_passed_and_removed(self):
        self.stand_in_java(exits=[0])
        self.write("app.config", "javapath jre/bin/java\nmainclass M\nexportenv\ncopyenv LW_V\n")
        before = dump_files()
        result = self.launch(env={"LW_V": "a b=c", "LW_ODD": "x\\y\n\xe9"})
        self.assertEqual(0, result.returncode, result)
        self.assertIn("-Dlarkwin.copyenv.LW_V=a b=c", self.recorded())
        with open(self.path("jre", "bin", "dump.1"), "rb") as dump:
            lines = dump.read().split(b"\n")
        self.assertIn(b"LW_ODD=x\\\\y\\u000a\\u00c3\\u00a9", lines)
        self.assertEqual(set(), dumps_left_since(before, self.dir))


if __name__ == "__main__":
    unittest.main()
