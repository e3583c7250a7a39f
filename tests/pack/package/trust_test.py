#!/usr/bin/env python3
"""Packages under hostile or unlucky use: hostile text in every field that
reaches an rpm recipe, a control file, a unit or a menu entry; output folders
that do not exist or cannot be made; a failure after one package was built;
a termination signal while a tool runs; and a Temurin 25 package checked
with lintian. The environment is package_test.py's. A stand-in runtime (a
bin/java script) keeps most packages small, so that each takes seconds.
Every process runs with a time limit.
"""

import glob
import os
import select
import shutil
import signal
import subprocess
import tempfile
import unittest

from package_test import DEMO_JAR, PACK, SOURCE, checked, run

NAME = "larkwin-test-trust"
JDK25 = "/usr/lib/jvm/temurin-25-jdk-amd64"
TIME_LIMIT = 120


class TrustCase(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="larkwin-trust-test-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.licence = self.write("LICENSE", "Copyright 2026 the larkwin authors\n\nMIT License\n")
        java = self.write("runtime/bin/java", "#!/bin/sh\nexit 0\n")
        os.chmod(java, 0o755)
        # The scratch folders of larkwin-pack go here, so that none is missed.
        self.tmp = os.path.join(self.dir, "tmp")
        os.mkdir(self.tmp)

    def write(self, relative, text):
        path = os.path.join(self.dir, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as file:
            file.write(text)
        return path

    def arguments(self, *formats, **fields):
        """The command line: the formats, then every field given (name with
        "_" for "-"), the stand-in runtime and the demo."""
        given = {"name": NAME, "app_version": "1.0", "description": "Trust test",
                 "maintainer": "Tests <tests@example.org>", "license_file": self.licence,
                 "license": "MIT", "main_class": "com.larkwin.demo.Demo"}
        given.update(fields)
        command = [PACK, *formats, "--runtime", os.path.join(self.dir, "runtime"), "--quiet"]
        for key, value in given.items():
            if value is not None:
                command += ["--" + key.replace("_", "-"), value]
        return command + [DEMO_JAR]

    def pack(self, *formats, environment=None, **fields):
        return run(*self.arguments(*formats, **fields),
                   env=dict(os.environ, TMPDIR=self.tmp, **(environment or {})),
                   cwd=self.dir)

    def assertNothingLeft(self, before):
        self.assertEqual(before, sorted(os.listdir(self.dir)))
        self.assertEqual([], os.listdir(self.tmp), "the scratch folder is removed")


class HostileFieldsTest(TrustCase):
    """Each hostile value is either written so that it means itself, or
    refused with a reason before anything is made."""

    FIELDS = ["description", "long_description", "maintainer", "vendor", "homepage", "license",
              "wm_class", "categories", "main_class"]
    MEANING_ITSELF = ["quote \" and ' here\\", "per%(touch PWNED)cent %{name} %%",
                      "dollar $(touch PWNED) `touch PWNED`", "a  b"]
    CONTROL = ["tab\there", "line\nUser=root", "return\rWATCHDOG=trigger", "del\x7f"]
    ENTRY_KEYS = {"Type", "Name", "Comment", "Exec", "Icon", "Terminal", "Categories",
                  "StartupWMClass", "MimeType", "NoDisplay"}

    def test_control_characters_are_refused_in_every_field_before_any_work(self):
        before = sorted(os.listdir(self.dir))
        for field in self.FIELDS:
            for value in self.CONTROL:
                with self.subTest(field=field, value=value):
                    result = self.pack("--deb", "out", "--rpm", "out", **{field: value})
                    self.assertEqual(2, result.returncode, result.stderr)
                    self.assertRegex(result.stderr, r"--%s.*one line" % field.replace("_", "-"))
                    self.assertNothingLeft(before)

    def test_quotes_percents_commands_and_blanks_mean_themselves(self):
        for value in self.MEANING_ITSELF:
            with self.subTest(value=value):
                fields = {field: value for field in self.FIELDS}
                fields["maintainer"] = value + " <tests@example.org>"
                # A URL holds no blank (rpm's URL tag takes one token).
                fields["homepage"] = "https://example.org/" + value.replace(" ", "")
                out = os.path.join(self.dir, "out")
                result = self.pack("--deb", out, "--rpm", out, **fields)
                self.assertFalse(os.path.exists(os.path.join(self.dir, "PWNED")))
                self.assertEqual(0, result.returncode, result.stderr)
                deb, = glob.glob(out + "/*.deb")
                rpm, = glob.glob(out + "/*.rpm")
                control = checked("dpkg-deb", "-f", deb, "Description", "Maintainer", "Homepage")
                for field in ("description", "maintainer", "homepage"):
                    self.assertIn(fields[field], control)
                shown = checked("rpm", "-qp", "--qf", "%{SUMMARY}|%{DESCRIPTION}|%{PACKAGER}|"
                                "%{VENDOR}|%{URL}|%{LICENSE}", rpm)
                self.assertEqual("|".join(fields[field] for field in (
                    "description", "long_description", "maintainer", "vendor", "homepage",
                    "license")), shown)
                root = os.path.join(self.dir, "root")
                checked("dpkg-deb", "-x", deb, root)
                with open(os.path.join(root, "usr/share/applications", NAME + ".desktop")) as file:
                    lines = file.read().splitlines()
                entry = dict(line.split("=", 1) for line in lines[1:])
                self.assertLessEqual(set(entry), self.ENTRY_KEYS)
                escaped = value.replace("\\", "\\\\")
                self.assertEqual((escaped, escaped, escaped + ";"),
                                 (entry["Comment"], entry["StartupWMClass"], entry["Categories"]))
                bundle = os.path.join(root, "opt", NAME, "bin", NAME)
                self.assertIn("mainclass " + value, checked(PACK, "--show", bundle).splitlines())
                shutil.rmtree(out)
                shutil.rmtree(root)

    def test_substitution_variables_of_control_files_and_blanks_in_urls_are_refused(self):
        before = sorted(os.listdir(self.dir))
        result = self.pack("--rpm", "out", homepage="https://example.org/a b")
        self.assertEqual((2, "larkwin-pack: --homepage takes a URL, which holds no blank"),
                         (result.returncode, result.stderr.splitlines()[0]))
        for field in ("description", "long_description", "maintainer", "homepage"):
            result = self.pack("--deb", "out", **{field: "x ${Newline}Pre-Depends: evil"})
            self.assertEqual((2, "larkwin-pack: --%s cannot hold '${': dpkg-gencontrol would "
                              "replace it in the control file" % field.replace("_", "-")),
                             (result.returncode, result.stderr.splitlines()[0]))
            self.assertNothingLeft(before)

    def test_hostile_metainfo_names_are_listed_as_themselves(self):
        with open(os.path.join(SOURCE, "org.larkwin.demoapp.metainfo.xml")) as file:
            metainfo = file.read()
        for name in ["a b%(touch PWNED)[x]*?{y}'q\"\\.metainfo.xml", "p%{name}.metainfo.xml"]:
            with self.subTest(name=name):
                path = self.write(os.path.join("meta", name), metainfo)
                out = os.path.join(self.dir, "out")
                result = self.pack("--deb", out, "--rpm", out, metainfo=path,
                                   environment={"PATH": self.no_validator()})
                self.assertEqual(0, result.returncode, result.stderr)
                self.assertFalse(os.path.exists(os.path.join(self.dir, "PWNED")))
                listed = checked("rpm", "-qlp", glob.glob(out + "/*.rpm")[0]).splitlines()
                self.assertIn("/usr/share/metainfo/" + name, listed)
                root = os.path.join(self.dir, "root")
                checked("dpkg-deb", "-x", glob.glob(out + "/*.deb")[0], root)
                self.assertEqual([name], os.listdir(root + "/usr/share/metainfo"))
                shutil.rmtree(root)
                shutil.rmtree(out)
                shutil.rmtree(os.path.join(self.dir, "meta"))
        path = self.write("meta/line\nbreak.metainfo.xml", metainfo)
        result = self.pack("--rpm", "out", metainfo=path)
        self.assertEqual((2, "larkwin-pack: --metainfo's file name holds a control character, "
                          "which the packages' file lists cannot hold"),
                         (result.returncode, result.stderr.splitlines()[0]))

    def no_validator(self):
        """PATH with a stand-in appstreamcli that takes every file: Debian's
        judges the file's name, which is what is tried here."""
        validator = self.write("validator/appstreamcli", "#!/bin/sh\nexit 0\n")
        os.chmod(validator, 0o755)
        return os.path.dirname(validator) + ":" + os.environ["PATH"]

    def test_control_characters_never_reach_a_unit(self):
        for directory in ["image\nUser=root", "image\rExecStartPre=/bin/sh", "image\x01"]:
            with self.subTest(directory=directory):
                before = sorted(os.listdir(self.dir))
                target = os.path.join(self.dir, "dist", directory)
                result = run(PACK, "--app-image", target, "--name", "app", "--runtime",
                             os.path.join(self.dir, "runtime"), "--service", "--main-class",
                             "Main", DEMO_JAR, cwd=self.dir)
                self.assertEqual(1, result.returncode, result.stderr)
                self.assertIn("holds a control character, which a systemd unit cannot hold",
                              result.stderr)
                self.assertNothingLeft(before)


class OutputFoldersTest(TrustCase):
    def test_missing_folders_are_made(self):
        result = self.pack("--deb", "dist/debs", "--rpm", "dist/rpms")
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertEqual(1, len(glob.glob(self.dir + "/dist/debs/*.deb")))
        self.assertEqual(1, len(glob.glob(self.dir + "/dist/rpms/*.rpm")))
        self.assertEqual([], os.listdir(self.tmp))

    def test_a_folder_that_cannot_be_made_fails_before_any_work_with_the_reason(self):
        self.write("file", "")
        before = sorted(os.listdir(self.dir))
        # A stand-in strip would say that work began.
        result = self.pack("--deb", "dist", "--rpm", "file/rpms")
        self.assertEqual((1, "larkwin-pack: Unable to create 'file': Not a directory\n"),
                         (result.returncode, result.stderr))
        self.assertNothingLeft(before)

    def test_a_failure_after_one_package_was_built_leaves_neither(self):
        bin = os.path.join(self.dir, "bin")
        failing = self.write("bin/rpmbuild", "#!/bin/sh\necho cannot >&2\nexit 3\n")
        os.chmod(failing, 0o755)
        before = sorted(os.listdir(self.dir))
        result = self.pack("--deb", "dist/debs", "--rpm", "dist/rpms",
                           environment={"PATH": bin + ":" + os.environ["PATH"]})
        self.assertEqual(1, result.returncode, result.stderr)
        self.assertTrue(result.stderr.endswith("larkwin-pack: '%s' failed with exit status 3\n"
                                               % failing), result.stderr)
        self.assertNothingLeft(before)


class SignalTest(TrustCase):
    def test_sigterm_while_a_tool_runs_ends_it_and_removes_the_work(self):
        # A stand-in strip says it runs and holds a pipe's writing end, then
        # waits on a FIFO nobody writes.
        ready = os.path.join(self.dir, "ready")
        hold = os.path.join(self.dir, "hold")
        os.mkfifo(ready)
        os.mkfifo(hold)
        strip = self.write("bin/strip", '#!/bin/sh\necho $$ > "%s"\nexec cat "%s"\n'
                           % (ready, hold))
        os.chmod(strip, 0o755)
        held_read, held_write = os.pipe()
        before = sorted(os.listdir(self.dir))
        environment = dict(os.environ, TMPDIR=self.tmp,
                           PATH=os.path.dirname(strip) + ":" + os.environ["PATH"])
        pack = subprocess.Popen(self.arguments("--deb", "dist", "--rpm", "dist"),
                                env=environment, cwd=self.dir, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, pass_fds=[held_write])
        os.close(held_write)
        reader = os.open(ready, os.O_RDONLY | os.O_NONBLOCK)
        try:
            readable, _, _ = select.select([reader], [], [], TIME_LIMIT)
            self.assertTrue(readable, "the stand-in strip never ran")
            self.assertEqual(1, len(os.listdir(self.tmp)))
            pack.send_signal(signal.SIGTERM)
            pack.wait(timeout=TIME_LIMIT)
            # The stand-in held the pipe too: its end is seen once it ended.
            readable, _, _ = select.select([held_read], [], [], TIME_LIMIT)
            self.assertTrue(readable, "the stand-in strip was not ended")
            self.assertEqual(b"", os.read(held_read, 1))
        finally:
            os.close(reader)
            os.close(held_read)
            pack.kill()
            pack.wait(timeout=TIME_LIMIT)
        self.assertEqual(-signal.SIGTERM, pack.returncode)
        self.assertNothingLeft(before)


class TemurinLintTest(TrustCase):
    def test_a_temurin_25_package_is_lintian_clean(self):
        if not os.path.exists(os.path.join(JDK25, "bin", "jlink")):
            self.skipTest("no Temurin 25 in %s" % JDK25)
        if not shutil.which("lintian"):
            self.skipTest("no lintian")
        command = self.arguments("--deb", "out", "--add-modules", "java.desktop")
        runtime = command.index("--runtime")
        del command[runtime:runtime + 2]
        result = run(*command, cwd=self.dir, timeout=900,
                     env=dict(os.environ, TMPDIR=self.tmp, JAVA_HOME=JDK25,
                              DPKG_DEB_COMPRESSOR_LEVEL="1"))
        self.assertEqual(0, result.returncode, result.stderr)
        deb, = glob.glob(self.dir + "/out/*.deb")
        linted = run("lintian", "--no-cfg", "--fail-on", "error,warning", deb, timeout=600)
        problems = [line for line in linted.stdout.splitlines() if line.startswith(("E:", "W:"))]
        self.assertEqual([], problems, linted.stdout + linted.stderr)
        self.assertEqual(0, linted.returncode, linted.stdout + linted.stderr)


if __name__ == "__main__":
    unittest.main()
