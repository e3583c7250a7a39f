"""The configuration lines that say what start scripts say: "expand",
"firstparam" and "tryinclude", as a launcher started by its users meets them."""

import os
import subprocess
import unittest

from harness import JAVA, WRAPPER, LauncherTest, Listener
from test_hostile import other_user

# A configuration as an installed application keeps it: the launcher's own
# place, the user's home and a settings file the user may add.
INSTALLED = """javapath jre/bin/java
mainclass M
expand
vmparam -Dapp.home=${exe.dir}/..
vmparam -Djava.library.path=${exe.dir}/lib:${env:LARKWIN_E2E_LIBS}
firstparam --home
firstparam ${user.home}
tryinclude ${xdg.config.home}/app/user.config
"""


class ConfigExtensions(LauncherTest):
    def user_env(self, **extra):
        env = {"HOME": self.path("home"), "XDG_CONFIG_HOME": "", "LARKWIN_E2E_LIBS": "/x/lib"}
        env.update(extra)
        return env

    def params_of(self, run=1):
        """The application parameters of a recorded run: what follows M."""
        record = self.recorded(run)
        return record[record.index("M") + 1:]

    def test_a_linked_launcher_expands_its_real_directory_and_the_users_files(self):
        self.stand_in_java()
        self.write("app.config", INSTALLED)
        os.makedirs(self.path("bin"))
        os.symlink("../app", self.path("bin", "app"))
        self.write("home/.config/app/user.config", "vmparam -Xmx64m\naddparam ${user.home}\n")
        result = self.launch("given", executable=self.path("bin", "app"), env=self.user_env())
        self.assertEqual(0, result.returncode, result)
        record = self.recorded()
        self.assertIn("-Dapp.home=%s/.." % self.dir, record)
        self.assertIn("-Djava.library.path=%s/lib:/x/lib" % self.dir, record)
        self.assertIn("-Xmx64m", record)
        # The user's file does not say "expand": its text stays literal.
        self.assertEqual(["--home", self.path("home"), "given", "${user.home}"], self.params_of())

    def test_a_missing_user_file_is_skipped_and_debug_shows_each_expansion(self):
        self.stand_in_java()
        self.write("app.config", INSTALLED)
        result = self.launch("+DEBUG", env=self.user_env())
        self.assertEqual(0, result.returncode, result)
        out = result.stdout.decode()
        self.assertIn("expand: on for the rest of '%s'\n" % self.path("app.config"), out)
        self.assertIn("expand: vmparam -Dapp.home=%s/..\n" % self.dir, out)
        self.assertIn("expand: firstparam %s\n" % self.path("home"), out)
        missing = self.path("home", ".config", "app", "user.config")
        self.assertIn("tryinclude: '%s' does not exist; skipped\n" % missing, out)
        self.assertEqual(["--home", self.path("home")], self.params_of())

    def test_an_unset_variable_or_unknown_name_ends_the_launch_naming_it(self):
        self.stand_in_java()
        self.write("app.config", INSTALLED)
        env = self.user_env()
        del env["LARKWIN_E2E_LIBS"]
        result = self.launch(env=env)
        self.assertFailure(
            result, "Unable to expand '${env:LARKWIN_E2E_LIBS}': the variable is not set"
        )
        self.write("app.config", "expand\nvmparam -Dx=${exe.dir\n")
        self.assertFailure(self.launch(), "Unterminated expansion '${exe.dir'")
        self.assertEqual(0, self.runs())

    def test_first_params_stay_home_when_the_user_params_are_forwarded(self):
        self.stand_in_java()
        listener = Listener(expected=1)
        self.write(
            "app.config",
            "javapath jre/bin/java\nmainclass M\nsocket %d\nfirstparam --fixed\n" % listener.port,
        )
        result = self.launch("+SHELL", "notes.txt")
        listener.close()
        self.assertEqual(0, result.returncode, result)
        self.assertEqual([b"open " + self.path("notes.txt").encode()], listener.payloads)
        self.assertEqual(0, self.runs())

    def test_vm_options_on_the_command_line_are_not_forwarded_as_files(self):
        self.stand_in_java()
        listener = Listener(expected=1)
        self.write("app.config", "javapath jre/bin/java\nmainclass M\nsocket %d\n" % listener.port)
        result = self.launch("+SHELL", "+DEBUG", "-J-Xmx1g", "notes.txt")
        listener.close()
        self.assertEqual(0, result.returncode, result)
        self.assertEqual([b"open " + self.path("notes.txt").encode()], listener.payloads)
        self.assertIn("+SHELL: '-J-Xmx1g' is a VM option, not forwarded\n", result.stdout.decode())
        self.assertEqual(0, self.runs())

    def test_without_an_instance_the_first_params_lead_the_local_launch(self):
        self.stand_in_java()
        listener = Listener(expected=0)
        port = listener.port
        listener.close()
        self.write(
            "app.config",
            "javapath jre/bin/java\nmainclass M\nsocket %d\nfirstparam --fixed\n"
            "addparam --added\n" % port,
        )
        result = self.launch("+SHELL", "x")
        self.assertEqual(0, result.returncode, result)
        self.assertEqual(["--fixed", "x", "--added"], self.params_of())

    def test_a_restart_gives_the_first_params_once_again(self):
        self.stand_in_java(exits=(3, 0))
        self.write(
            "app.config", "javapath jre/bin/java\nmainclass M\nrestartcode 3\nfirstparam a\n"
        )
        result = self.launch("u")
        self.assertEqual(0, result.returncode, result)
        self.assertEqual(2, self.runs())
        self.assertEqual(["a", "u"], self.params_of(1))
        self.assertEqual(["a", "u"], self.params_of(2))

    def test_real_java_sees_the_expanded_options_and_the_first_params(self):
        self.compile_java({"Show.java": SHOW}, jar_name="show.jar")
        self.write(
            "app.config",
            "javapath %s\nexpand\naddpath ${config.dir}/show.jar\nmainclass Show\n"
            "vmparam -Dapp.home=${exe.dir}\nvmparam -Dprice=5$$\nfirstparam first\n" % JAVA,
        )
        result = self.launch("last")
        self.assertEqual(0, result.returncode, result)
        self.assertEqual("home=%s price=5$ args=first,last\n" % self.dir, result.stdout.decode())


class SettingsOwners(LauncherTest):
    """Whose settings files are read: root's, the running user's and the
    launcher owner's; and where no settings file can exist."""

    user_env = ConfigExtensions.user_env

    def settings(self, owner=None, text="vmparam -javaagent:/evil.jar\n"):
        path = self.write("home/.config/app/user.config", text)
        if owner is not None:
            os.chown(path, owner, owner)
        return path

    def test_root_with_another_users_home_does_not_read_their_settings(self):
        if os.geteuid() != 0:
            self.skipTest("needs root to give a file to another user")
        self.stand_in_java()
        self.write("app.config", INSTALLED)
        theirs = self.settings(owner=65534)
        result = self.launch("+DEBUG", env=self.user_env())
        self.assertEqual(0, result.returncode, result)
        self.assertEqual("Not reading '%s': it belongs to another user (uid 65534)\n" % theirs,
                         result.stderr.decode())
        self.assertIn("config: '%s' not read: uid 65534 owns it" % theirs, result.stdout.decode())
        self.assertNotIn("-javaagent:/evil.jar", self.recorded())

    def test_where_no_settings_file_can_exist_the_launch_goes_on(self):
        self.stand_in_java()
        self.write("app.config", INSTALLED)
        self.write("home/.config/app", "a file where a directory would be")
        for home in ("/dev/null", self.path("home")):
            with self.subTest(home=home):
                result = self.launch("+DEBUG", env=self.user_env(HOME=home))
                self.assertEqual(0, result.returncode, result)
                self.assertIn("tryinclude: '%s/.config/app/user.config' does not exist; skipped\n"
                              % home, result.stdout.decode())

    def test_a_user_runs_an_installation_another_user_owns(self):
        as_nobody, nobody = other_user()
        if as_nobody is None:
            self.skipTest(nobody)
        if WRAPPER:
            self.skipTest("the wrapper cannot run as another user")
        builder, stranger = 4242, 4343
        self.stand_in_java()
        self.write("app.config", INSTALLED + "tryinclude site.config\n")
        site = self.write("site.config", "javapath /evil\n")
        mine = self.settings(text="vmparam -Xmx64m\n")
        for path in (self.app, self.path("app.config"), self.path("jre")):
            os.chown(path, builder, builder)
        os.chown(site, stranger, stranger)
        for path in (self.path("jre", "bin"), self.path("home"), self.path("home", ".config"),
                     self.path("home", ".config", "app"), mine):
            os.chown(path, nobody, nobody)
        os.chmod(self.dir, 0o755)
        command = self.command([], env=self.user_env())
        command.pop("executable", None)
        command["args"] = as_nobody + command["args"]
        result = subprocess.run(**command, capture_output=True, timeout=60)
        self.assertEqual(0, result.returncode, result)
        self.assertEqual("Not reading '%s': it belongs to another user (uid %d)\n"
                         % (site, stranger), result.stderr.decode())
        self.assertIn("-Xmx64m", self.recorded())


SHOW = """
public class Show {
    public static void main(String[] args) {
        System.out.println("home=" + System.getProperty("app.home")
            + " price=" + System.getProperty("price") + " args=" + String.join(",", args));
    }
}
"""


if __name__ == "__main__":
    unittest.main()
