"""Debian's jEdit, a desktop editor that reads folders of its own beside its jar.

jEdit reads its modes, macros, keymaps, properties and startup folders from
jedit.home. Debian's jedit script runs a BeanShell job (jedit/job.bsh, with
-run=) under Xvfb; the job writes what jEdit read from those folders into
result.txt and, once the editor's window is up, prints its title. Then jEdit
is packed as an app image and as a .deb, each with those folders as
--app-content and "vmparam -Djedit.home=${app.dir}/share/jedit", and each runs
the same job with /usr/share/jedit hidden under an empty tmpfs in a mount
namespace, so that only the packed folders can be read: result.txt and the
exit code must be the same, and the window's class must be the one the
package's menu entry names (StartupWMClass).

Environment: APPS_TEST_PACK, APPS_TEST_LAUNCHER, APPS_TEST_JAVA.
"""

import os
import shutil
import subprocess
import tempfile
import threading
import unittest

PACK = os.environ["APPS_TEST_PACK"]
LAUNCHER = os.environ["APPS_TEST_LAUNCHER"]
JDK = os.path.dirname(os.path.dirname(os.path.realpath(os.environ["APPS_TEST_JAVA"])))
SOURCE = os.path.dirname(os.path.abspath(__file__))
HOME = "/usr/share/jedit"
JAR = HOME + "/jedit.jar"
FOLDERS = ("modes", "macros", "keymaps", "properties", "startup")
NAME = "larkwin-test-jedit"
TIME_LIMIT = 240
PACK_TIME_LIMIT = 900
CONFIGURATION = """mainclass org.gjt.sp.jedit.jEdit
expand
vmparam -Djedit.home=${app.dir}/share/jedit
"""


def run(command, **options):
    options.setdefault("timeout", TIME_LIMIT)
    return subprocess.run(command, capture_output=True, **options)


def checked(command, **options):
    result = run(command, **options)
    if result.returncode != 0:
        raise AssertionError("%s failed with %d:\n%s%s" % (
            command[0], result.returncode, result.stdout.decode(errors="replace"),
            result.stderr.decode(errors="replace")))
    return result.stdout.decode()


def hiding_prefix():
    """The command prefix that runs a command with HOME under an empty tmpfs
    in a mount namespace of its own (a user namespace stands in for root);
    None, with the reason, where that cannot be done."""
    inner = ["sh", "-c", 'mount -t tmpfs larkwin-hidden "$0" && exec "$@"', HOME]
    prefix = ["unshare", "--mount"] + ([] if os.geteuid() == 0 else ["--map-root-user"])
    if shutil.which("unshare") is None:
        return None, "needs unshare (util-linux)"
    probe = run(prefix + inner + ["test", "!", "-e", JAR])
    if probe.returncode != 0:
        return None, "no mount namespace here to hide %s: %s" % (
            HOME, probe.stderr.decode(errors="replace").strip())
    return prefix + inner, None


class JEditTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        for path in ("/usr/bin/jedit", JAR) + tuple(os.path.join(HOME, f) for f in FOLDERS):
            if not os.path.exists(path):
                raise unittest.SkipTest("Debian's jedit package is not installed (%s is missing)"
                                        % path)
        for tool in ("Xvfb", "xprop"):
            if shutil.which(tool) is None:
                raise unittest.SkipTest("needs %s (Debian's xvfb and x11-utils)" % tool)
        cls.dir = tempfile.mkdtemp(prefix="larkwin-jedit-")
        cls.display = None
        try:
            cls.display = cls.start_xvfb()
        except BaseException:
            shutil.rmtree(cls.dir, True)
            raise

    @classmethod
    def tearDownClass(cls):
        cls.xvfb.kill()
        cls.xvfb.wait(timeout=TIME_LIMIT)
        shutil.rmtree(cls.dir, True)

    @classmethod
    def start_xvfb(cls):
        """Xvfb on a display of its choice; it writes the number when ready."""
        reading, writing = os.pipe()
        cls.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(writing), "-nolisten", "tcp",
                                     "-screen", "0", "1024x768x24"], pass_fds=(writing,),
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(writing)
        with os.fdopen(reading) as numbers:
            number = numbers.readline().strip()
        if not number:
            raise AssertionError("Xvfb did not start")
        return ":" + number

    def run_job(self, form, command):
        """Runs the job with a fresh home, settings and working directory:
        (result.txt, exit code, window class)."""
        top = os.path.join(self.dir, "run-" + form)
        work = os.path.join(top, "work")
        os.makedirs(work)
        os.mkdir(os.path.join(top, "home"))
        environment = dict(os.environ, HOME=os.path.join(top, "home"), JAVA_HOME=JDK,
                           DISPLAY=self.display, LC_ALL="C.UTF-8")
        editor = subprocess.Popen(
            command + ["-nosplash", "-noserver", "-settings=" + os.path.join(top, "settings"),
                       "-run=" + os.path.join(SOURCE, "jedit", "job.bsh")],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE, cwd=work,
            env=environment)
        try:
            # The job prints the title once the window is up, or jEdit ends
            # without it; a jEdit that hangs (no data folders) ends at the limit.
            shown = self.read_line_within(editor)
            window_class = None
            if shown.startswith(b"shown "):
                printed = checked(["xprop", "-name", shown[6:].decode().strip(), "WM_CLASS"],
                                  env=environment)
                # WM_CLASS(STRING) = "instance", "class"
                window_class = printed.strip().split(", ")[-1].strip('"')
            out, err = editor.communicate(timeout=TIME_LIMIT)
        finally:
            if editor.poll() is None:
                editor.kill()
                editor.communicate(timeout=TIME_LIMIT)
        result = os.path.join(work, "result.txt")
        written = open(result, "rb").read() if os.path.exists(result) else None
        self.assertIsNotNone(written, "%s wrote no result.txt: %s" % (form, err.decode(
            errors="replace")[-2000:]))
        return written, editor.returncode, window_class

    def read_line_within(self, process):
        """The first line of the process's output, or b"" when it gives none
        within the time limit (the process is then killed)."""
        timer = threading.Timer(TIME_LIMIT, process.kill)
        timer.start()
        try:
            return process.stdout.readline()
        finally:
            timer.cancel()

    def pack(self, *arguments):
        result = run([PACK, "--launcher", LAUNCHER, "--quiet"] + list(arguments),
                     timeout=PACK_TIME_LIMIT, env=dict(os.environ, JAVA_HOME=JDK))
        self.assertEqual(0, result.returncode, result.stderr.decode(errors="replace"))

    def content_options(self):
        options = []
        for folder in FOLDERS:
            options += ["--app-content", "%s/%s=share/jedit/%s" % (HOME, folder, folder)]
        return options

    def make_image(self, configuration):
        image = os.path.join(self.dir, "image")
        self.pack("--app-image", image, "--name", NAME, "--config", configuration,
                  *self.content_options(), JAR)
        return image

    def make_deb(self, configuration, runtime):
        """The .deb, unpacked: (its image's launcher, its menu entry's keys)."""
        dist = os.path.join(self.dir, "dist")
        os.mkdir(dist)
        licence = os.path.join(self.dir, "LICENSE")
        with open(licence, "w") as file:
            file.write("jEdit is free software under the GNU GPL, version 2 or later.\n")
        self.pack("--deb", dist, "--name", NAME, "--app-version", "5.5.0",
                  "--description", "jEdit, packed by the larkwin tests",
                  "--maintainer", "Larkwin Tests <tests@example.org>",
                  "--license-file", licence, "--runtime", runtime, "--config", configuration,
                  "--categories", "Development;TextEditor;", *self.content_options(), JAR)
        debs = [name for name in os.listdir(dist) if name.endswith(".deb")]
        self.assertEqual(1, len(debs), debs)
        root = os.path.join(self.dir, "deb-root")
        checked(["dpkg-deb", "-x", os.path.join(dist, debs[0]), root])
        with open(os.path.join(root, "usr/share/applications", NAME + ".desktop")) as file:
            entry = dict(line.split("=", 1) for line in file.read().splitlines() if "=" in line)
        return os.path.join(root, "opt", NAME, "bin", NAME), entry

    def test_packed_forms_run_the_job_as_debians_script_does(self):
        hiding, reason = hiding_prefix()
        if hiding is None:
            self.skipTest(reason)
        expected = self.run_job("script", ["/usr/bin/jedit"])
        self.assertEqual(0, expected[1])
        self.assertIn(b"\nmodes ", expected[0])
        configuration = os.path.join(self.dir, "jedit.config")
        with open(configuration, "w") as file:
            file.write(CONFIGURATION)
        image = self.make_image(configuration)
        deb, entry = self.make_deb(configuration, os.path.join(image, "runtime"))
        # The image can be moved: ${app.dir} follows it.
        moved = os.path.join(self.dir, "moved")
        os.rename(image, moved)
        forms = {"image": os.path.join(moved, "bin", NAME), "deb": deb}
        for form, launcher in forms.items():
            with self.subTest(form=form):
                written, code, window_class = self.run_job(form, hiding + [launcher])
                self.assertEqual(expected[0], written)
                self.assertEqual(expected[1], code)
                self.assertEqual(expected[2], window_class)
                self.assertEqual(entry["StartupWMClass"], window_class)


if __name__ == "__main__":
    unittest.main()
