#!/usr/bin/env python3
"""larkwin-pack from end to end.

The programs come from the environment that tests/pack/CMakeLists.txt sets,
each name with the prefix PACK_TEST_ (unzip and zip read UNZIP and ZIP as
options): PACK (larkwin-pack), LAUNCHER (larkwin), APP_JAR (a jar holding
the class Main, made by the JDK's jar), JAVA, UNZIP and ZIP (zip may be
missing).
Every process runs with a time limit.
"""

import os
import shutil
import stat
import struct
import subprocess
import tempfile
import unittest

PACK = os.environ.get("PACK_TEST_PACK", "")
LAUNCHER = os.environ.get("PACK_TEST_LAUNCHER", "")
APP_JAR = os.environ.get("PACK_TEST_APP_JAR", "")
JAVA = os.environ.get("PACK_TEST_JAVA", "java")
UNZIP = os.environ.get("PACK_TEST_UNZIP", "unzip")
ZIP = os.environ.get("PACK_TEST_ZIP", "")
TIME_LIMIT = 60


def run(*command, **options):
    return subprocess.run(list(command), capture_output=True, timeout=TIME_LIMIT, **options)


def read(path):
    with open(path, "rb") as file:
        return file.read()


def write(path, content):
    with open(path, "wb") as file:
        file.write(content)
    return path


def end_record_fields(archive):
    """The fields of an archive's end record (its comment must be empty)."""
    return struct.unpack("<4s4H2LH", archive[-22:])


def zip64_form(archive, keep_classic_values):
    """The archive with a ZIP64 end record and locator in front of its end
    record, which names its fields as stored in the ZIP64 record or not."""
    _, _, _, _, entries, size, offset, _ = end_record_fields(archive)
    body = archive[:-22]
    record = struct.pack("<4sQ2H2L4Q", b"PK\x06\x06", 44, 45, 45, 0, 0,
                         entries, entries, size, offset)
    locator = struct.pack("<4sLQL", b"PK\x06\x07", 0, len(body), 1)
    if keep_classic_values:
        end = struct.pack("<4s4H2LH", b"PK\x05\x06", 0, 0, entries, entries, size, offset, 0)
    else:
        end = struct.pack("<4s4H2LH", b"PK\x05\x06", 0, 0, 0xFFFF, 0xFFFF,
                          0xFFFFFFFF, 0xFFFFFFFF, 0)
    return body + record + locator + end


class PackTestCase(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="larkwin-pack-test-")
        self.addCleanup(shutil.rmtree, self.dir)

    def path(self, name):
        return os.path.join(self.dir, name)

    def pack(self, *arguments, **options):
        return run(PACK, *arguments, **options)

    def bundle(self, *configuration, archive=APP_JAR, name="bundle"):
        output = self.path(name)
        result = self.pack("-o", output, "--launcher", LAUNCHER, *configuration, archive)
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertEqual(b"", result.stdout + result.stderr)
        return output

    def assert_unzip_clean(self, archive):
        result = run(UNZIP, "-t", archive)
        self.assertEqual(0, result.returncode, result.stdout + result.stderr)
        self.assertNotIn(b"warning", (result.stdout + result.stderr).lower())
        self.assertIn(b"No errors detected", result.stdout)
        self.assertIn(b"Main.class", result.stdout)

    def show(self, file):
        return self.pack("--show", file)


class BundleTest(PackTestCase):
    def test_bundle_is_launcher_then_archive_with_mode_0755(self):
        restrictive = lambda: os.umask(0o077)
        output = self.path("bundle")
        result = self.pack("-o", output, "--launcher", LAUNCHER, "--main-class", "Main",
                           APP_JAR, preexec_fn=restrictive)
        self.assertEqual(0, result.returncode, result.stderr)
        launcher = read(LAUNCHER)
        bundle = read(output)
        self.assertEqual(launcher, bundle[:len(launcher)])
        self.assertEqual(len(launcher) + len(read(APP_JAR)) + len(b"mainclass Main\nstartupcache"),
                         len(bundle))
        self.assertEqual(0o755, stat.S_IMODE(os.stat(output).st_mode))
        self.assertEqual(["bundle"], os.listdir(self.dir))

    def test_unzip_reads_the_bundle_without_warnings(self):
        self.assert_unzip_clean(self.bundle("--main-class", "Main"))

    def test_java_runs_the_class_from_the_bundle(self):
        bundle = self.bundle("--main-class", "Main")
        result = run(JAVA, "-cp", bundle, "Main", "a", "b")
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertEqual(b"Main ran with a b\n", result.stdout)

    def test_existing_output_is_replaced_whole(self):
        output = write(self.path("bundle"), b"old content")
        os.chmod(output, 0o600)
        self.bundle("--main-class", "Main")
        self.assert_unzip_clean(output)
        self.assertEqual(0o755, stat.S_IMODE(os.stat(output).st_mode))
        self.assertEqual(["bundle"], os.listdir(self.dir))

    def test_default_launcher_is_found_through_path_and_links(self):
        installed = os.path.join(self.dir, "opt")
        os.mkdir(installed)
        shutil.copy(PACK, os.path.join(installed, "larkwin-pack"))
        write(os.path.join(installed, "larkwin"), b"#!/bin/sh\necho stand-in launcher\n")
        links = os.path.join(self.dir, "bin")
        os.mkdir(links)
        os.symlink(os.path.join(installed, "larkwin-pack"), os.path.join(links, "pack"))
        environment = dict(os.environ, PATH=links + os.pathsep + os.environ.get("PATH", ""))
        output = self.path("bundle")
        result = run("pack", "-o", output, "--main-class", "Main", APP_JAR, env=environment)
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertTrue(read(output).startswith(b"#!/bin/sh\necho stand-in launcher\n"))
        self.assert_unzip_clean(output)
        os.remove(os.path.join(installed, "larkwin"))
        result = run("pack", "-o", self.path("other"), "--main-class", "Main", APP_JAR,
                     env=environment)
        self.assertEqual(1, result.returncode)
        self.assertEqual(("larkwin-pack: Unable to open '%s/larkwin'\n" % installed).encode(),
                         result.stderr)
        self.assertFalse(os.path.exists(self.path("other")))


class ShowTest(PackTestCase):
    def assert_shows(self, expected, file):
        result = self.show(file)
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertEqual(expected, result.stdout)
        self.assertEqual(b"", result.stderr)

    def test_configuration_file_round_trips_exactly(self):
        text = "# app\nmainclass Main\nvmparam -Dname=\u00e9t\u00e9\n\n".encode()
        config = write(self.path("app.config"), text)
        bundle = self.bundle("--config", config)
        self.assert_shows(text, bundle)
        self.assert_unzip_clean(bundle)

    def test_main_class_gives_the_main_class_and_the_start_up_cache(self):
        self.assert_shows(b"mainclass Main\nstartupcache", self.bundle("--main-class", "Main"))
        self.assert_shows(b"mainclass Main",
                          self.bundle("--main-class", "Main", "--no-startup-cache", name="plain"))

    def test_longest_configuration_round_trips(self):
        text = (b"# " + b"x" * 65531 + b"\n") + b"\n"
        self.assertEqual(65535, len(text))
        bundle = self.bundle("--config", write(self.path("long.config"), text))
        self.assert_shows(text, bundle)
        self.assert_unzip_clean(bundle)

    def test_empty_configuration_and_plain_jar_show_empty_text(self):
        self.assert_shows(b"", self.bundle("--config", write(self.path("empty.config"), b"")))
        self.assert_shows(b"", APP_JAR)

    def test_file_without_configuration_is_reported(self):
        result = self.show(LAUNCHER)
        self.assertEqual(1, result.returncode)
        self.assertEqual(b"", result.stdout)
        expected = "larkwin-pack: no configuration is embedded in '%s'\n" % LAUNCHER
        self.assertEqual(expected.encode(), result.stderr)

    def test_small_and_missing_files_fail_as_in_the_launcher(self):
        result = self.show(write(self.path("small"), b"x" * 21))
        self.assertEqual(1, result.returncode)
        self.assertEqual(b"larkwin-pack: Zip file size is unreasonably small\n", result.stderr)
        missing = self.path("missing")
        result = self.show(missing)
        self.assertEqual(1, result.returncode)
        self.assertEqual(("larkwin-pack: Unable to open '%s'\n" % missing).encode(), result.stderr)


class ErrorsTest(PackTestCase):
    def assert_refused(self, message, archive, *configuration, output=None):
        """larkwin-pack fails with the message and leaves the output as it was."""
        output = output or self.path("out")
        before = sorted(os.listdir(self.dir))
        previous = read(output) if os.path.isfile(output) else None
        configuration = configuration or ("--main-class", "Main")
        result = self.pack("-o", output, "--launcher", LAUNCHER, *configuration, archive)
        self.assertEqual(1, result.returncode, result.stderr)
        self.assertEqual(b"", result.stdout)
        self.assertEqual(("larkwin-pack: %s\n" % message).encode(), result.stderr)
        self.assertEqual(before, sorted(os.listdir(self.dir)))
        if previous is not None:
            self.assertEqual(previous, read(output))

    def test_input_that_is_not_a_zip_archive(self):
        jar = read(APP_JAR)
        for name, content in [("text", b"public class Main {}\n" * 10), ("tiny", b"PK"),
                              ("trailing", jar + b"extra"), ("cut", jar[:-1])]:
            archive = write(self.path(name), content)
            self.assert_refused("'%s' is not a zip archive" % archive, archive)

    def test_configuration_over_65535_bytes(self):
        config = write(self.path("long.config"), b"x" * 65536)
        write(self.path("out"), b"previous")
        self.assert_refused("the configuration is longer than 65535 bytes", APP_JAR,
                            "--config", config)

    def test_archive_that_already_has_a_launcher_in_front(self):
        bundle = self.bundle("--main-class", "Main")
        message = "'%s' already has a launcher or other bytes in front of its archive"
        self.assert_refused(message % bundle, bundle)
        joined = write(self.path("joined"), read(LAUNCHER) + read(APP_JAR))
        self.assert_refused(message % joined, joined)

    def test_zip64_archive(self):
        jar = read(APP_JAR)
        message = "'%s' is a ZIP64 archive, which larkwin-pack cannot adjust"
        for name, keep in [("marked", False), ("located", True)]:
            archive = write(self.path(name + ".jar"), zip64_form(jar, keep))
            self.assert_unzip_clean(archive)
            self.assert_refused(message % archive, archive)

    @unittest.skipUnless(ZIP and not ZIP.endswith("NOTFOUND"), "zip is not installed")
    def test_zip64_archive_made_by_zip(self):
        write(self.path("entry.txt"), b"an entry\n")
        archive = self.path("forced.zip")
        result = run(ZIP, "-q", "-fz", archive, "entry.txt", cwd=self.dir)
        self.assertEqual(0, result.returncode, result.stderr)
        self.assert_refused("'%s' is a ZIP64 archive, which larkwin-pack cannot adjust" % archive,
                            archive)

    def test_unwritable_output(self):
        plain = write(self.path("plain"), b"not a directory")
        inside = os.path.join(plain, "out")
        self.assert_refused("Unable to create '%s'" % inside, APP_JAR, output=inside)
        missing = self.path("missing/out")
        self.assert_refused("Unable to create '%s'" % missing, APP_JAR, output=missing)
        directory = self.path("directory")
        os.mkdir(directory)
        self.assert_refused("Unable to write '%s'" % directory, APP_JAR, output=directory)
        self.assertEqual([], os.listdir(directory))

    def test_missing_inputs(self):
        missing = self.path("missing")
        self.assert_refused("Unable to open '%s'" % missing, missing)
        self.assert_refused("Unable to open '%s'" % missing, APP_JAR, "--config", missing)
        result = self.pack("-o", self.path("out"), "--launcher", missing, "--main-class", "Main",
                           APP_JAR)
        self.assertEqual(1, result.returncode)
        self.assertEqual(("larkwin-pack: Unable to open '%s'\n" % missing).encode(), result.stderr)
        self.assertEqual([], os.listdir(self.dir))


class CommandLineTest(PackTestCase):
    def test_help_and_version(self):
        result = self.pack("--help")
        self.assertEqual(0, result.returncode)
        self.assertTrue(result.stdout.startswith(
            b"Usage: larkwin-pack -o OUTPUT [--launcher PATH] "
            b"(--config FILE | --main-class NAME) APP.jar\n"))
        self.assertIn(b"--show FILE", result.stdout)
        self.assertIn(b"--no-startup-cache", result.stdout)
        result = self.pack("--version")
        self.assertEqual(0, result.returncode)
        self.assertRegex(result.stdout.decode(), r"^larkwin-pack \d+\.\d+\.\d+\n$")

    def test_misuse_is_explained_with_status_2(self):
        out = self.path("out")
        cases = [
            ([], "-o OUTPUT is required"),
            (["--main-class", "Main", APP_JAR], "-o OUTPUT is required"),
            (["-o", out, APP_JAR], "give exactly one of --config and --main-class"),
            (["-o", out, "--config", "c", "--main-class", "Main", APP_JAR],
             "give exactly one of --config and --main-class"),
            (["-o", out, "--main-class", "Main"], "no application archive given"),
            (["-o", out, "--main-class", "Main", APP_JAR, APP_JAR],
             "only one archive can be bundled"),
            (["-o", out, "-o", out, "--main-class", "Main", APP_JAR], "-o is given more than once"),
            (["-o", out, "--main-class", "Main", "--verbose", APP_JAR],
             "unknown option '--verbose'"),
            (["-o", out, APP_JAR, "--main-class"], "--main-class needs a value"),
            (["--show", APP_JAR, "-o", out], "--show takes no other options"),
            (["--show", APP_JAR, "--no-startup-cache"], "--show takes no other options"),
            (["-o", out, "--config", "c", "--no-startup-cache", APP_JAR],
             "--no-startup-cache goes with --main-class only"),
        ]
        for arguments, message in cases:
            result = self.pack(*arguments)
            self.assertEqual(2, result.returncode, arguments)
            expected = "larkwin-pack: %s\nTry 'larkwin-pack --help'.\n" % message
            self.assertEqual(expected.encode(), result.stderr, arguments)
            self.assertEqual(b"", result.stdout)
        self.assertEqual([], os.listdir(self.dir))


if __name__ == "__main__":
    unittest.main()
