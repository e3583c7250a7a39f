#!/usr/bin/env python3
"""larkwin-pack from end to end.

The programs come from the environment that tests/pack/CMakeLists.txt sets,
each name with the prefix PACK_TEST_ (unzip and zip read UNZIP and ZIP as
options): PACK (larkwin-pack), LAUNCHER (larkwin), APP_JAR (a jar holding
the class Main, made by the JDK's jar), MERGE_APP_JAR and MERGE_DEP_JAR (an
application and its dependency that both provide the service merge.Greeter),
JAVA (of a JDK, whose jlink, keytool and jarsigner the tests use too), UNZIP
and ZIP (zip may be missing).
Every process runs with a time limit.
"""

import os
import re
import select
import shutil
import signal
import stat
import struct
import subprocess
import tempfile
import unittest
import zipfile

PACK = os.environ.get("PACK_TEST_PACK", "")
LAUNCHER = os.environ.get("PACK_TEST_LAUNCHER", "")
APP_JAR = os.environ.get("PACK_TEST_APP_JAR", "")
JAVA = os.environ.get("PACK_TEST_JAVA", "java")
UNZIP = os.environ.get("PACK_TEST_UNZIP", "unzip")
ZIP = os.environ.get("PACK_TEST_ZIP", "")
MERGE_APP_JAR = os.environ.get("PACK_TEST_MERGE_APP_JAR", "")
MERGE_DEP_JAR = os.environ.get("PACK_TEST_MERGE_DEP_JAR", "")
JDK = os.path.dirname(os.path.dirname(os.path.realpath(shutil.which(JAVA) or JAVA)))
TIME_LIMIT = 60
# jdeps, jlink and the base archive's dump together.
IMAGE_TIME_LIMIT = 180


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
        self.assertEqual(("larkwin-pack: Unable to open '%s/larkwin': No such file or directory\n" % installed).encode(),
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
        self.assert_shows(b"mainclass Main\nstartupcache\n", self.bundle("--main-class", "Main"))
        self.assert_shows(b"mainclass Main\n",
                          self.bundle("--main-class", "Main", "--no-startup-cache", name="plain"))
        self.assert_shows(b"mainclass Main\nstartupcache\nshortruns\n",
                          self.bundle("--main-class", "Main", "--short-runs", name="short"))

    def test_longest_configuration_round_trips(self):
        text = (b"# " + b"x" * 65531 + b"\n") + b"\n"
        self.assertEqual(65535, len(text))
        bundle = self.bundle("--config", write(self.path("long.config"), text))
        self.assert_shows(text, bundle)
        self.assert_unzip_clean(bundle)

    def test_empty_configuration_and_plain_jar_embed_none_status_1(self):
        # An empty archive comment and none at all are the same bytes.
        for file in (self.bundle("--config", write(self.path("empty.config"), b"")), APP_JAR):
            result = self.show(file)
            self.assertEqual(1, result.returncode, result)
            self.assertEqual(b"", result.stdout)
            expected = "larkwin-pack: no configuration is embedded in '%s'\n" % file
            self.assertEqual(expected.encode(), result.stderr)

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
        self.assert_refused("Unable to create '%s': Not a directory" % inside, APP_JAR, output=inside)
        missing = self.path("missing/out")
        self.assert_refused("Unable to create '%s': No such file or directory" % missing, APP_JAR, output=missing)
        directory = self.path("directory")
        os.mkdir(directory)
        self.assert_refused("Unable to write '%s': Is a directory" % directory, APP_JAR, output=directory)
        self.assertEqual([], os.listdir(directory))

    def test_missing_inputs(self):
        missing = self.path("missing")
        absent = "Unable to open '%s': No such file or directory" % missing
        self.assert_refused(absent, missing)
        self.assert_refused(absent, APP_JAR, "--config", missing)
        result = self.pack("-o", self.path("out"), "--launcher", missing, "--main-class", "Main",
                           APP_JAR)
        self.assertEqual(1, result.returncode)
        self.assertEqual(("larkwin-pack: %s\n" % absent).encode(), result.stderr)
        self.assertEqual([], os.listdir(self.dir))


class JavaVersionTest(PackTestCase):
    def test_requirement_is_the_second_line_and_the_launcher_applies_it(self):
        bundle = self.bundle("--main-class", "Main", "--java-version", "1.8-200")
        self.assertEqual(b"mainclass Main\njavaversion 1.8-200\nstartupcache\n", self.show(bundle).stdout)
        bundle = self.bundle("--main-class", "Main", "--java-version", "9000", name="future")
        result = run(bundle)
        self.assertEqual(254, result.returncode, result)
        self.assertTrue(result.stdout.startswith(
            b"Unable to find a Java Runtime of version 9000 or later. Runtimes seen:\n"), result)

    def test_malformed_or_misplaced_requirement_is_refused_with_status_2(self):
        out = self.path("out")
        config = write(self.path("c"), b"mainclass Main\n")
        cases = [
            (["--main-class", "Main", "--java-version", "17+"],
             "--java-version '17+' is not a feature release such as 17 or a range such as 11-17"),
            (["--config", config, "--java-version", "17"],
             "--java-version goes with --main-class; write javaversion in the --config file"),
        ]
        for arguments, message in cases:
            result = self.pack("-o", out, *arguments, APP_JAR)
            self.assertEqual(2, result.returncode, arguments)
            expected = "larkwin-pack: %s\nTry 'larkwin-pack --help'.\n" % message
            self.assertEqual(expected.encode(), result.stderr, arguments)
            self.assertFalse(os.path.exists(out))


class CommandLineTest(PackTestCase):
    def test_help_and_page_synopses_name_every_option_their_examples_use(self):
        usage = self.pack("--help").stdout.decode().split("\n")
        page = read(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "docs",
                                 "larkwin-pack.1")).decode().replace("\\-", "-")
        synopsis = page[page.index(".SH SYNOPSIS"):page.index(".SH DESCRIPTION")]
        image_synopsis = synopsis[synopsis.index("--app-image"):synopsis.index("--show")]
        # The --app-image form: its lines up to the next form's.
        start = next(i for i in range(len(usage)) if "larkwin-pack --app-image" in usage[i])
        end = next(i for i in range(start + 1, len(usage)) if "larkwin-pack" in usage[i])
        image_usage = "\n".join(usage[start:end])
        self.assertIn("--exclude-modules", image_usage)
        self.assertIn("--exclude-modules", image_synopsis)
        self.assertIn("--app-image", image_usage)
        for option in ("--java-version", "--no-startup-cache", "--short-runs", "--quiet"):
            self.assertIn(option, "\n".join(usage[:start]))
            self.assertIn(option, image_usage)
            self.assertIn(option, image_synopsis)
        example = page[page.index("larkwin-pack --app-image dist/myapp"):]
        for option in ("--main-class", "--java-version"):
            self.assertIn(option, example[:200])


    def test_help_and_page_list_the_same_options(self):
        # --help: one option a line, its name first ("  --name NAME ..."),
        # each once; the page: the tag after each .TP of its OPTIONS.
        usage = self.pack("--help").stdout.decode().split("\n")
        listed = [line.split()[0] for line in usage if line.startswith("  -")]
        self.assertEqual(len(listed), len(set(listed)), listed)
        page = read(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "docs",
                                 "larkwin-pack.1")).decode()
        lines = page[page.index(".SH OPTIONS"):page.index("\n.SH ", page.index(".SH OPTIONS") + 1)]
        lines = lines.split("\n")
        tag = re.compile(r"^(?:\.BI? |\\fB)((?:\\-|[a-z])+)")
        tagged = {tag.match(lines[i + 1]).group(1).replace("\\-", "-")
                  for i in range(len(lines) - 1) if lines[i] == ".TP"}
        self.assertEqual(sorted(listed), sorted(tagged))

    def test_help_and_version(self):
        result = self.pack("--help")
        self.assertEqual(0, result.returncode)
        self.assertTrue(result.stdout.startswith(
            b"Usage: larkwin-pack -o OUTPUT [--launcher PATH] "
            b"(--config FILE | --main-class NAME) APP.jar\n"))
        self.assertIn(b"--show FILE", result.stdout)
        for option in [b"--app-image DIR", b"--name NAME", b"--runtime auto", b"--runtime HOME",
                       b"--add-modules MODULE", b"--quiet", b"javapath ../runtime/bin/java"]:
            self.assertIn(option, result.stdout)
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
            (["--app-image", out, "-o", out, "--main-class", "Main", APP_JAR],
             "give either -o or --app-image, not both"),
            (["-o", out, "--name", "app", "--main-class", "Main", APP_JAR],
             "--name needs --app-image"),
            # A bundle (-o without --runtime) takes no --train; a one file does.
            (["-o", out, "--train", "--main-class", "Main", APP_JAR],
             "--train needs --app-image, --deb or --rpm"),
            (["-o", out, "--add-modules", "java.sql", "--main-class", "Main", APP_JAR],
             "--add-modules needs --app-image"),
            (["--app-image", out, "--name", "bin/app", "--main-class", "Main", APP_JAR],
             "--name takes a file name, without '/'"),
            (["--app-image", out, "--name", "..", "--main-class", "Main", APP_JAR],
             "--name takes a file name, without '/'"),
            (["--app-image", out, "--runtime", self.dir, "--add-modules", "java.sql",
              "--main-class", "Main", APP_JAR], "--add-modules needs --runtime auto"),
            (["-o", out, "--keep-debug", "--main-class", "Main", APP_JAR],
             "--keep-debug needs --app-image"),
            (["--app-image", out, "--runtime", self.dir, "--keep-debug", "--main-class", "Main",
              APP_JAR], "--keep-debug needs --runtime auto"),
            (["--app-image", out, "--main-class", "Main"], "no application archive given"),
            (["-o", out, "-o", out, "--main-class", "Main", APP_JAR], "-o is given more than once"),
            (["-o", out, "--main-class", "Main", "--verbose", APP_JAR],
             "unknown option '--verbose'"),
            (["-o", out, APP_JAR, "--main-class"], "--main-class needs a value"),
            (["--show", APP_JAR, "-o", out], "--show takes no other options"),
            (["--show", APP_JAR, "--quiet"], "--show takes no other options"),
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


def entry_names(archive):
    with zipfile.ZipFile(archive) as opened:
        return [info.filename for info in opened.infolist()]


def entry_content(archive, name):
    with zipfile.ZipFile(archive) as opened:
        return opened.read(name)


def stored_bytes(archive, name):
    """The entry as the archive stores it: local header, data, descriptor."""
    with zipfile.ZipFile(archive) as opened:
        info = opened.getinfo(name)
    content = read(archive)
    start = info.header_offset
    name_length, extra_length = struct.unpack("<2H", content[start + 26:start + 30])
    end = start + 30 + name_length + extra_length + info.compress_size
    if info.flag_bits & 8:
        end += 16 if content[end:end + 4] == b"PK\x07\x08" else 12
    return content[start:end]


def with_entries(source, target, entries):
    """A copy of the jar source with the entries (name, bytes) added."""
    shutil.copy(source, target)
    with zipfile.ZipFile(target, "a") as opened:
        for name, content in entries:
            opened.writestr(name, content)
    return target


def with_class_path(source, target, class_path):
    """A copy of the jar source whose manifest says only its Class-Path."""
    with zipfile.ZipFile(source) as opened, zipfile.ZipFile(target, "w") as copy:
        for info in opened.infolist():
            if info.filename != "META-INF/MANIFEST.MF":
                copy.writestr(info, opened.read(info))
        copy.writestr("META-INF/MANIFEST.MF",
                      "Manifest-Version: 1.0\r\nClass-Path: %s\r\n\r\n" % class_path)
    return target


def with_stated_size(source, target, name, size):
    """A copy of the jar source whose entry name states size as its
    uncompressed size, in its local and central headers."""
    content = bytearray(read(source))
    _, _, _, _, entries, _, position, _ = end_record_fields(bytes(content))
    for _ in range(entries):
        name_length, extra_length, comment_length = struct.unpack(
            "<3H", content[position + 28:position + 34])
        local = struct.unpack("<L", content[position + 42:position + 46])[0]
        if content[position + 46:position + 46 + name_length] == name.encode():
            struct.pack_into("<L", content, position + 24, size)
            struct.pack_into("<L", content, local + 22, size)
        position += 46 + name_length + extra_length + comment_length
    return write(target, bytes(content))


def is_sanitized(program):
    """AddressSanitizer reserves terabytes of address space: no limit on it
    can be tested there."""
    return b"__asan_" in read(program)


def limited_memory(kilobytes):
    import resource
    return lambda: resource.setrlimit(resource.RLIMIT_AS, (kilobytes * 1024, kilobytes * 1024))


def service_jar(path, provider, copies):
    """A jar whose one service file lists provider copies times."""
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as opened:
        opened.writestr("Main.class", b"\xca\xfe")
        opened.writestr("META-INF/services/big", provider.encode() * copies)
    return path


class MergeTest(PackTestCase):
    def merge(self, *archives, extra=(), name="bundle"):
        output = self.path(name)
        result = self.pack("-o", output, "--launcher", LAUNCHER, "--main-class",
                           "merge.ServiceMain", *extra, *archives)
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertEqual(b"", result.stdout)
        return output, result.stderr.decode()

    def dropped_line(self, name, archive, first=MERGE_APP_JAR):
        return "larkwin-pack: dropped duplicate '%s' of '%s' (kept the one of '%s')\n" % (
            name, archive, first)

    def test_joining_takes_no_memory_of_the_service_files_size(self):
        if is_sanitized(PACK):
            self.skipTest("memory limits cannot be set under AddressSanitizer")
        # 2 x 48 MiB joined under a 48 MB limit: read twice and streamed.
        first = service_jar(self.path("a.jar"), "org.example.A\n", 48 * 1024 * 1024 // 14)
        second = service_jar(self.path("b.jar"), "org.example.B\n", 48 * 1024 * 1024 // 14)
        output = self.path("bundle")
        result = self.pack("-o", output, "--launcher", LAUNCHER, "--main-class", "Main",
                           "--quiet", first, second, preexec_fn=limited_memory(48 * 1024))
        self.assertEqual(0, result.returncode, result.stderr)
        joined = entry_content(output, "META-INF/services/big")
        self.assertEqual(2 * (48 * 1024 * 1024 // 14) * 14, len(joined))
        self.assertTrue(joined.startswith(b"org.example.A\n") and
                        joined.endswith(b"org.example.B\n"))

    def test_under_any_memory_limit_a_bundle_or_one_line_and_nothing_left(self):
        if is_sanitized(PACK):
            self.skipTest("memory limits cannot be set under AddressSanitizer")
        # Central directories of 13 MB each, and the merged one as large again.
        archives = []
        for name in ("c", "d"):
            path = self.path(name + ".jar")
            with zipfile.ZipFile(path, "w") as opened:
                for i in range(200):
                    info = zipfile.ZipInfo("%s%d" % (name, i))
                    info.comment = b"c" * 65000
                    opened.writestr(info, b"x")
            archives.append(path)
        inputs = sorted(os.listdir(self.dir))
        outcomes = set()
        for megabytes in range(16, 84, 4):
            output = self.path("bundle")
            result = self.pack("-o", output, "--launcher", LAUNCHER, "--main-class", "Main",
                               *archives, preexec_fn=limited_memory(megabytes * 1024))
            if result.returncode == 0:
                self.assertEqual(400, len(entry_names(output)))
                os.remove(output)
            else:
                self.assertEqual((1, b"larkwin-pack: out of memory\n"),
                                 (result.returncode, result.stderr), megabytes)
            outcomes.add(result.returncode)
            self.assertEqual(inputs, sorted(os.listdir(self.dir)), megabytes)
        self.assertEqual({0, 1}, outcomes)

    def test_a_copy_that_inflates_beyond_its_stated_size_is_damaged(self):
        first = service_jar(self.path("a.jar"), "org.example.A\n", 100000)
        second = service_jar(self.path("b.jar"), "org.example.B\n", 100000)
        lying = with_stated_size(second, self.path("lying.jar"), "META-INF/services/big", 14)
        inputs = sorted(os.listdir(self.dir))
        result = self.pack("-o", self.path("bundle"), "--launcher", LAUNCHER, "--main-class",
                           "Main", "--quiet", first, lying)
        self.assertEqual(1, result.returncode, result.stderr)
        self.assertEqual(("larkwin-pack: '%s' holds a damaged entry\n" % lying).encode(),
                         result.stderr)
        self.assertEqual(inputs, sorted(os.listdir(self.dir)))

    def test_stated_sizes_beyond_what_a_bundle_can_hold_are_refused_before_inflating(self):
        archives = []
        for name in ("a", "b"):
            jar = service_jar(self.path(name + ".jar"), "org.example.%s\n" % name, 10)
            archives.append(with_stated_size(jar, self.path(name + "-big.jar"),
                                             "META-INF/services/big", 0x90000000))
        result = self.pack("-o", self.path("bundle"), "--launcher", LAUNCHER, "--main-class",
                           "Main", "--quiet", *archives)
        self.assertEqual(1, result.returncode, result.stderr)
        self.assertIn(result.stderr, (
            b"larkwin-pack: the merged archive needs ZIP64 records, which larkwin-pack cannot "
            b"write\n"))
        self.assertFalse(os.path.exists(self.path("bundle")))

    def test_bundle_sees_both_providers_and_the_first_resource(self):
        bundle, _ = self.merge(MERGE_APP_JAR, MERGE_DEP_JAR)
        result = run(bundle, "5")
        self.assertEqual(5, result.returncode, result.stderr)
        self.assertEqual(b"greeters: app merge-dep\nshared: from the app\n", result.stdout)
        result = run(JAVA, "-cp", bundle, "merge.ServiceMain")
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertEqual(b"greeters: app merge-dep\nshared: from the app\n", result.stdout)
        check = run(UNZIP, "-t", bundle)
        self.assertEqual(0, check.returncode, check.stdout + check.stderr)
        self.assertNotIn(b"warning", (check.stdout + check.stderr).lower())

    def test_service_files_are_joined_line_by_line(self):
        bundle, _ = self.merge(MERGE_APP_JAR, MERGE_DEP_JAR)
        # The application's file lacks its last line feed.
        self.assertEqual(b"merge.AppGreeter", entry_content(MERGE_APP_JAR,
                                                            "META-INF/services/merge.Greeter"))
        self.assertEqual(b"merge.AppGreeter\n# the dependency's provider\nmerge.dep.DepGreeter\n",
                         entry_content(bundle, "META-INF/services/merge.Greeter"))
        self.assertEqual(1, entry_names(bundle).count("META-INF/services/merge.Greeter"))

    def test_each_duplicate_file_is_named_once_and_quiet_silences_them(self):
        _, report = self.merge(MERGE_APP_JAR, MERGE_DEP_JAR)
        # META-INF/ and the manifest repeat too, but directories and the
        # dependency's manifest are not worth a word.
        self.assertEqual(self.dropped_line("merge/shared.txt", MERGE_DEP_JAR), report)
        again = with_entries(MERGE_DEP_JAR, self.path("again.jar"),
                             [("merge/AppGreeter.class", b"not the app's")])
        bundle, report = self.merge(MERGE_APP_JAR, MERGE_DEP_JAR, again, name="three")
        self.assertEqual(self.dropped_line("merge/shared.txt", MERGE_DEP_JAR) +
                         self.dropped_line("merge/shared.txt", again) +
                         self.dropped_line("merge/dep/DepGreeter.class", again, MERGE_DEP_JAR) +
                         self.dropped_line("merge/AppGreeter.class", again), report)
        self.assertEqual(entry_content(MERGE_APP_JAR, "merge/AppGreeter.class"),
                         entry_content(bundle, "merge/AppGreeter.class"))
        _, report = self.merge(MERGE_APP_JAR, MERGE_DEP_JAR, again, extra=("--quiet",),
                               name="quiet")
        self.assertEqual("", report)

    def test_first_manifest_only_and_entries_copied_as_stored(self):
        bundle, _ = self.merge(MERGE_APP_JAR, MERGE_DEP_JAR)
        self.assertEqual(entry_content(MERGE_APP_JAR, "META-INF/MANIFEST.MF"),
                         entry_content(bundle, "META-INF/MANIFEST.MF"))
        self.assertEqual(["META-INF/", "META-INF/MANIFEST.MF", "META-INF/services/merge.Greeter",
                          "merge/shared.txt", "merge/AppGreeter.class", "merge/Greeter.class",
                          "merge/ServiceMain.class", "merge/dep/DepGreeter.class"],
                         entry_names(bundle))
        # The JDK's jar writes a descriptor after each entry's data.
        with zipfile.ZipFile(MERGE_DEP_JAR) as opened:
            self.assertTrue(opened.getinfo("merge/dep/DepGreeter.class").flag_bits & 8)
        for archive, name in [(MERGE_DEP_JAR, "merge/dep/DepGreeter.class"),
                              (MERGE_APP_JAR, "merge/ServiceMain.class")]:
            self.assertEqual(stored_bytes(archive, name), stored_bytes(bundle, name))

    def test_signed_dependency_loses_signature_and_module_descriptors(self):
        keystore = self.path("keys.p12")
        result = run(os.path.join(JDK, "bin", "keytool"), "-genkeypair", "-keystore", keystore,
                     "-storepass", "secret", "-alias", "signer", "-keyalg", "RSA",
                     "-dname", "CN=larkwin test", "-validity", "2")
        self.assertEqual(0, result.returncode, result.stdout + result.stderr)
        signed = with_entries(MERGE_DEP_JAR, self.path("signed.jar"),
                              [("module-info.class", b"\xca\xfe"),
                               ("META-INF/versions/11/module-info.class", b"\xca\xfe"),
                               ("merge/dep/module-info.class", b"kept")])
        result = run(os.path.join(JDK, "bin", "jarsigner"), "-keystore", keystore,
                     "-storepass", "secret", signed, "signer")
        self.assertEqual(0, result.returncode, result.stdout + result.stderr)
        names = entry_names(signed)
        self.assertIn("META-INF/SIGNER.SF", names)
        self.assertIn("META-INF/SIGNER.RSA", names)
        bundle, _ = self.merge(MERGE_APP_JAR, signed)
        names = entry_names(bundle)
        for gone in ["META-INF/SIGNER.SF", "META-INF/SIGNER.RSA", "module-info.class",
                     "META-INF/versions/11/module-info.class"]:
            self.assertNotIn(gone, names)
        self.assertIn("merge/dep/module-info.class", names)
        result = run(bundle)
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertEqual(b"greeters: app merge-dep\nshared: from the app\n", result.stdout)

    def test_class_path_entries_are_bundled_and_java_jar_attributes_configured(self):
        app = self.path("app.jar")
        with zipfile.ZipFile(MERGE_APP_JAR) as source, zipfile.ZipFile(app, "w") as target:
            for info in source.infolist():
                if info.filename != "META-INF/MANIFEST.MF":
                    target.writestr(info, source.read(info))
            target.writestr("META-INF/MANIFEST.MF",
                            "Manifest-Version: 1.0\r\nClass-Path: lib/dep%20one.jar lib/\r\n"
                            "  missing.jar\r\nAdd-Opens: java.base/java.lang\r\n\r\n")
        os.mkdir(self.path("lib"))
        shutil.copy(MERGE_DEP_JAR, self.path("lib/dep one.jar"))
        output, errors = self.merge(app)
        self.assertEqual(
            "larkwin-pack: Class-Path entry 'lib/' of '%s' is a directory, which is not "
            "bundled: left out\n"
            "larkwin-pack: Class-Path entry 'missing.jar' of '%s' names no file on this machine: "
            "left out, as the class path leaves it out\n" % (app, app)
            + self.dropped_line("merge/shared.txt", self.path("lib/dep one.jar"), app), errors)
        self.assertEqual(b"mainclass merge.ServiceMain\nstartupcache\n"
                         b"addopens java.base/java.lang\n",
                         self.show(output).stdout)
        self.assertIn("merge/dep/DepGreeter.class", entry_names(output))
        self.assertEqual(b"Manifest-Version: 1.0\r\nAdd-Opens: java.base/java.lang\r\n\r\n",
                         entry_content(output, "META-INF/MANIFEST.MF"))
        # The cache's archive is made before the launcher ends ("wait"), not
        # by a detached java that could still write while the test's
        # directory is removed.
        result = subprocess.run([output], capture_output=True, timeout=TIME_LIMIT,
                                env=dict(os.environ, XDG_CACHE_HOME=self.path("cache"),
                                         LARKWIN_STARTUP_CACHE="wait"))
        self.assertEqual(b"greeters: app merge-dep\nshared: from the app\n", result.stdout)

    def test_class_path_follows_only_entries_within_the_naming_jars_folder(self):
        os.makedirs(self.path("app/sub"))
        os.makedirs(self.path("outside"))
        for folder in ("app/sub", "outside"):
            shutil.copy(MERGE_DEP_JAR, self.path(folder + "/dep.jar"))
        # (entry, followed): relative and absolute, within the folder or out.
        cases = [("sub/dep.jar", True), ("./sub/../sub/dep.jar", True),
                 (self.path("app/sub/dep.jar"), True), ("../outside/dep.jar", False),
                 ("sub/../../outside/dep.jar", False), (self.path("outside/dep.jar"), False),
                 ("file:" + self.path("outside/dep.jar"), False),
                 (self.path("app/../outside/dep.jar"), False)]
        for entry, followed in cases:
            app = with_class_path(MERGE_APP_JAR, self.path("app/app.jar"), entry)
            output, errors = self.merge(app)
            names = entry_names(output)
            self.assertEqual(followed, "merge/dep/DepGreeter.class" in names, entry)
            left_out = ("larkwin-pack: Class-Path entry '%s' of '%s' leads out of that jar's "
                        "folder: left out; name the jar to take it in\n" % (entry, app))
            said = "".join(line for line in errors.splitlines(True) if "Class-Path" in line)
            self.assertEqual("" if followed else left_out, said, entry)
            # --quiet silences these lines; a jar named on the command line
            # is taken in, and not said to be left out.
            self.assertEqual("", self.merge(app, extra=("--quiet",))[1], entry)
            if not followed:
                output, errors = self.merge(app, self.path("outside/dep.jar"))
                self.assertIn("merge/dep/DepGreeter.class", entry_names(output))
                self.assertNotIn("Class-Path", errors, entry)

    def test_each_package_keeps_the_versions_of_the_jar_that_defines_it(self):
        def with_main(source, target, lines):
            with zipfile.ZipFile(source) as opened, zipfile.ZipFile(target, "w") as copy:
                for info in opened.infolist():
                    if info.filename != "META-INF/MANIFEST.MF":
                        copy.writestr(info, opened.read(info))
                copy.writestr("META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\n" + lines + "\r\n")
            return target
        shown = self.path("Shown.java")
        with open(shown, "w") as source:
            source.write("public class Shown { public static void main(String[] a) throws "
                         "Exception { for (String c : a) { Package p = Class.forName(c)"
                         ".getPackage(); System.out.println(p.getImplementationVersion() + "
                         "\" \" + p.getSpecificationTitle()); } } }\n")
        app = with_main(MERGE_APP_JAR, self.path("app.jar"),
                        "Implementation-Version: 1.0-app\r\nSpecification-Title: App\r\n")
        # A dependency with versions of its own, and one with none: on the
        # class path its package has none, not the first jar's.
        for lines, expected in [("Implementation-Version: 2.0-dep\r\n", b"2.0-dep null"),
                                ("", b"null null")]:
            dep = with_main(MERGE_DEP_JAR, self.path("dep.jar"), lines)
            output, _ = self.merge(app, dep, extra=("--quiet",))
            for class_path in [os.pathsep.join([app, dep]), output]:
                result = subprocess.run([JAVA, "-cp", class_path, shown, "merge.ServiceMain",
                                         "merge.dep.DepGreeter"], capture_output=True,
                                        timeout=TIME_LIMIT)
                self.assertEqual(b"1.0-app App\n" + expected + b"\n", result.stdout,
                                 result.stderr)
            os.remove(output)
        # The first jar's own section of its package keeps its word, and no
        # attribute is said twice in a section (java warns of that at start).
        app = with_main(MERGE_APP_JAR, self.path("sealed.jar"),
                        "Implementation-Version: 1.0-app\r\nSealed: true\r\n\r\n"
                        "Name: merge/\r\nSealed: false\r\nSpecification-Title: App\r\n")
        dep = with_main(MERGE_DEP_JAR, self.path("dep.jar"), "")
        output, _ = self.merge(app, dep, extra=("--quiet",))
        for class_path in [os.pathsep.join([app, dep]), output]:
            result = subprocess.run([JAVA, "-cp", class_path, shown, "merge.ServiceMain",
                                     "merge.dep.DepGreeter"], capture_output=True,
                                    timeout=TIME_LIMIT)
            self.assertEqual((b"1.0-app App\nnull null\n", b""), (result.stdout, result.stderr))

    def test_a_jar_only_its_owner_may_read_is_refused(self):
        os.mkdir(self.path("app"))
        private = shutil.copy(MERGE_DEP_JAR, self.path("app/dep.jar"))
        app = with_class_path(MERGE_APP_JAR, self.path("app/app.jar"), "dep.jar")
        message = ("'%s' may be read by its owner only, and what larkwin-pack makes is read by "
                   "everyone: make it readable (chmod a+r) if it may be shipped")
        for mode, refused in [(0o600, True), (0o400, True), (0o640, False), (0o604, False)]:
            os.chmod(private, mode)
            for archives in [(app,), (MERGE_APP_JAR, private)]:
                if refused:
                    self.assert_fails_leaving_nothing(message % private, *archives)
                else:
                    self.merge(*archives, extra=("--quiet",))
                    os.remove(self.path("bundle"))

    def assert_fails_leaving_nothing(self, message, *archives, prefix=()):
        before = sorted(os.listdir(self.dir))
        result = run(*prefix, PACK, "-o", self.path("out"), "--launcher", LAUNCHER,
                     "--main-class", "merge.ServiceMain", *archives)
        self.assertEqual(1, result.returncode, result.stderr)
        self.assertEqual(("larkwin-pack: %s\n" % message).encode(), result.stderr)
        self.assertEqual(b"", result.stdout)
        self.assertEqual(before, sorted(os.listdir(self.dir)))

    def test_corrupt_or_missing_dependency_fails_leaving_nothing(self):
        dependency = read(MERGE_DEP_JAR)
        cut = write(self.path("cut.jar"), dependency[:len(dependency) // 2])
        self.assert_fails_leaving_nothing("'%s' is not a zip archive" % cut, MERGE_APP_JAR, cut)
        with zipfile.ZipFile(MERGE_DEP_JAR) as opened:
            header = opened.getinfo("merge/dep/DepGreeter.class").header_offset
            service = opened.getinfo("META-INF/services/merge.Greeter")
        broken = bytearray(dependency)
        broken[header:header + 4] = b"XXXX"
        broken = write(self.path("header.jar"), bytes(broken))
        self.assert_fails_leaving_nothing("'%s' is not a zip archive" % broken, MERGE_APP_JAR,
                                          broken)
        # The joined service file is the one entry whose data is read.
        damaged = bytearray(dependency)
        data = service.header_offset + 30 + len(service.filename) + 4
        damaged[data] ^= 0xFF
        damaged = write(self.path("data.jar"), bytes(damaged))
        self.assert_fails_leaving_nothing("'%s' holds a damaged entry" % damaged, MERGE_APP_JAR,
                                          damaged)
        missing = self.path("missing.jar")
        self.assert_fails_leaving_nothing("Unable to open '%s': No such file or directory" % missing,
                                          MERGE_APP_JAR, missing)


ACCESS_SOURCE = b"""public class Access {
    public static void main(String[] arguments) {
        Module unnamed = Access.class.getModule();
        System.out.println(Object.class.getModule().isExported("sun.nio.ch", unnamed));
        System.out.println(Object.class.getModule().isOpen("java.lang", unnamed));
    }
}
"""
# Entries for a module that no runtime has, a package that Linux's
# java.desktop lacks, one that Java 25 dropped, one that is no name, and two
# that every runtime has.
ACCESS_MANIFEST = ("Manifest-Version: 1.0\r\nMain-Class: Access\r\n"
                   "Add-Exports: jdk.deploy/com.sun.deploy.config java.desktop/com.apple.eawt\r\n"
                   "  java.base/sun.security.action java.base/sun.nio.ch\r\n"
                   "Add-Opens: java.base/java.lang java.base/no.such.pkg java.base\r\n\r\n")
RUNTIMES = ["/usr/lib/jvm/java-17-openjdk-amd64", "/usr/lib/jvm/temurin-25-jdk-amd64"]


class ManifestAccessTest(PackTestCase):
    def test_entries_the_runtime_lacks_are_passed_over_in_silence_as_java_jar_does(self):
        """Standard output and standard error byte for byte as java -jar's, on
        each runtime at hand; +DEBUG names what was left out."""
        os.mkdir(self.path("classes"))
        write(self.path("classes/Access.java"), ACCESS_SOURCE)
        compiled = run(os.path.join(JDK, "bin", "javac"), "--release", "17", "-d",
                       self.path("classes"), self.path("classes/Access.java"))
        self.assertEqual(0, compiled.returncode, compiled.stderr)
        app = self.path("app.jar")
        with zipfile.ZipFile(app, "w") as jar:
            jar.writestr("META-INF/MANIFEST.MF", ACCESS_MANIFEST)
            jar.write(self.path("classes/Access.class"), "Access.class")
        bundle = self.bundle("--main-class", "Access", "--no-startup-cache", archive=app)
        tried = 0
        for home in RUNTIMES:
            if not os.path.exists(os.path.join(home, "lib", "modules")):
                continue
            tried += 1
            environment = dict(os.environ, JAVA_HOME=home)
            expected = run(os.path.join(home, "bin", "java"), "-jar", app, env=environment)
            got = run(bundle, env=environment)
            self.assertEqual(b"true\ntrue\n", expected.stdout, home)
            self.assertEqual((expected.stdout, expected.stderr, expected.returncode),
                             (got.stdout, got.stderr, got.returncode), home)
            debug = run(bundle, "+DEBUG", env=environment).stdout.decode()
            for line in ["addexports: left out jdk.deploy/com.sun.deploy.config: the runtime "
                         "has no such module\n",
                         "addexports: left out java.desktop/com.apple.eawt: the module has no "
                         "such package\n",
                         "addopens: left out java.base/no.such.pkg: the module has no such "
                         "package\n",
                         "addopens: left out java.base: not a module's and a package's name\n"]:
                self.assertIn(line, debug, home)
            self.assertEqual("25" in home, "left out java.base/sun.security.action" in debug)
        if tried < len(RUNTIMES):
            print("SKIPPED in part: only %d of the runtimes %s are installed" % (tried, RUNTIMES))


class UnreadableTest(PackTestCase):
    """An input that cannot be read, as root too."""

    assert_fails_leaving_nothing = MergeTest.assert_fails_leaving_nothing

    def test_unreadable_dependency_fails_leaving_nothing(self):
        unreadable = shutil.copy(MERGE_DEP_JAR, self.path("unreadable.jar"))
        os.chmod(unreadable, 0)
        self.assert_fails_leaving_nothing("Unable to open '%s': Permission denied" % unreadable,
                                          MERGE_APP_JAR, unreadable, prefix=without_override())


def without_override():
    """A command prefix under which a file of mode 0 cannot be read. Root
    reads anything, except from a user namespace that maps none of the
    file's owners: there it keeps its uid, so its own files stay writable,
    but not the capability to pass over their modes."""
    if os.geteuid() != 0:
        return []
    probe = run("unshare", "--user", "true")
    if probe.returncode != 0:
        raise unittest.SkipTest("root reads any file, and no user namespace can be made here: %s"
                                % probe.stderr.decode().strip())
    return ["unshare", "--user"]


class AppImageTest(unittest.TestCase):
    """One image is linked from the real JDK for the whole class: jlink is slow."""

    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="larkwin-pack-image-")
        cls.image = os.path.join(cls.dir, "made")
        environment = dict(os.environ, JAVA_HOME=JDK)
        cls.result = subprocess.run(
            [PACK, "--app-image", cls.image, "--name", "app", "--launcher", LAUNCHER,
             "--main-class", "merge.ServiceMain", MERGE_APP_JAR, MERGE_DEP_JAR],
            capture_output=True, timeout=IMAGE_TIME_LIMIT, env=environment)
        cls.moved = os.path.join(cls.dir, "elsewhere", "moved")
        os.mkdir(os.path.dirname(cls.moved))
        if cls.result.returncode == 0:
            shutil.move(cls.image, cls.moved)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir)

    def setUp(self):
        self.assertEqual(0, self.result.returncode, self.result.stderr)

    def test_moved_image_runs_without_java_on_path_and_passes_the_exit_code_on(self):
        # No JAVA_HOME, and nothing on the PATH: only the image's runtime.
        result = subprocess.run([os.path.join(self.moved, "bin", "app"), "7"],
                                capture_output=True, timeout=TIME_LIMIT, env={"PATH": ""})
        self.assertEqual(7, result.returncode, result.stdout + result.stderr)
        # merge-dep comes from java.logging, which jdeps found in the dependency.
        self.assertEqual(b"greeters: app merge-dep\nshared: from the app\n", result.stdout)
        result = subprocess.run([os.path.join(self.moved, "bin", "app"), "+DEBUG"],
                                capture_output=True, timeout=TIME_LIMIT, env={"PATH": ""})
        # Without HOME the start-up cache says why it stands aside, then the echo.
        self.assertEqual(b"startupcache: not used: neither XDG_CACHE_HOME nor HOME is set",
                         result.stdout.split(b"\n")[0])
        self.assertTrue(result.stdout.split(b"\n")[1].startswith(
            os.path.join(self.moved, "runtime", "bin", "java").encode() + b" "), result.stdout)

    def test_start_up_cache_trains_on_the_images_own_base_archive(self):
        cache = tempfile.mkdtemp(prefix="larkwin-pack-cache-")
        self.addCleanup(shutil.rmtree, cache, True)
        # The archive is made after the first start; "wait" makes it before
        # that launcher ends, so that the second start maps it.
        environment = {"PATH": "", "XDG_CACHE_HOME": cache, "LARKWIN_STARTUP_CACHE": "wait"}
        app = os.path.join(self.moved, "bin", "app")
        runs = [subprocess.run([app, "7"], capture_output=True, timeout=TIME_LIMIT,
                               env=environment) for _ in range(2)]
        for result in runs:
            self.assertEqual(7, result.returncode, result.stdout + result.stderr)
            self.assertEqual(b"greeters: app merge-dep\nshared: from the app\n", result.stdout)
            self.assertEqual(b"", result.stderr)
        archives = [name for name in os.listdir(os.path.join(cache, "larkwin"))
                    if name.endswith(".jsa")]
        self.assertEqual(1, len(archives), archives)

    def test_report_names_the_modules_and_the_size(self):
        report = self.result.stdout.decode()
        # The jars stay as they are: nothing is merged, nothing dropped.
        self.assertEqual(b"", self.result.stderr)
        lines = report.splitlines()
        self.assertEqual(2, len(lines), report)
        # jdeps's modules, then those a class path application finds in a
        # full JDK through services.
        self.assertEqual("larkwin-pack: linking a runtime of java.base,java.logging,jdk.zipfs,"
                         "jdk.charsets,jdk.localedata,jdk.crypto.ec with the JDK in '%s'" % JDK,
                         lines[0])
        self.assertRegex(lines[1], r"^larkwin-pack: wrote the app image '%s': "
                         r"\d+\.\d MB \(runtime \d+\.\d MB\)$" % self.image)
        self.assertEqual(["elsewhere"], os.listdir(self.dir))

    def test_runtime_is_stripped_and_has_a_usable_base_archive(self):
        runtime = os.path.join(self.moved, "runtime")
        self.assertEqual(["app"], os.listdir(os.path.join(self.moved, "bin")))
        self.assertEqual(["bin", "lib", "runtime"], sorted(os.listdir(self.moved)))
        for jar in [MERGE_APP_JAR, MERGE_DEP_JAR]:
            self.assertEqual(read(jar), read(os.path.join(self.moved, "lib", os.path.basename(jar))))
        self.assertTrue(os.path.isfile(os.path.join(runtime, "lib", "server", "classes.jsa")))
        for absent in ["include", "man", os.path.join("bin", "jlink")]:
            self.assertFalse(os.path.exists(os.path.join(runtime, absent)), absent)
        result = subprocess.run([os.path.join(runtime, "bin", "java"), "-Xshare:on",
                                 "--list-modules"], capture_output=True, timeout=TIME_LIMIT)
        self.assertEqual(0, result.returncode, result.stdout + result.stderr)
        modules = [line.split("@")[0] for line in result.stdout.decode().splitlines()]
        self.assertEqual(["java.base", "java.logging", "jdk.charsets", "jdk.crypto.ec",
                          "jdk.localedata", "jdk.zipfs"], sorted(modules))
        shown = run(PACK, "--show", os.path.join(self.moved, "bin", "app"))
        self.assertEqual(b"addpath ../lib/mergeApp.jar\naddpath ../lib/mergeDep.jar\n"
                         b"mainclass merge.ServiceMain\nstartupcache\njavapath ../runtime/bin/java\n",
                         shown.stdout)


class AppImageRuntimeTest(PackTestCase):
    """Copied runtimes and the failures of app images, without jlink's time."""

    def make_home(self):
        """A stand-in runtime: a java script that exits 3, a link and odd modes."""
        home = self.path("home")
        os.makedirs(os.path.join(home, "bin"))
        os.makedirs(os.path.join(home, "lib", "sealed"))
        java = write(os.path.join(home, "bin", "java"), b"#!/bin/sh\necho stand-in \"$@\"\nexit 3\n")
        os.chmod(java, 0o751)
        os.chmod(write(os.path.join(home, "lib", "private"), b"p"), 0o640)
        os.symlink("../bin/java", os.path.join(home, "lib", "java-link"))
        os.utime(os.path.join(home, "lib", "private"), (1000000000, 1000000000))
        os.chmod(os.path.join(home, "lib", "sealed"), 0o555)
        return home

    def image(self, *options, name="image", environment=None):
        return self.pack("--app-image", self.path(name), "--launcher", LAUNCHER, *options,
                         "--main-class", "Main", APP_JAR, env=environment)

    def test_sigterm_while_a_tool_runs_removes_the_half_made_image(self):
        # A stand-in jdeps says it runs, then waits on a FIFO nobody writes:
        # larkwin-pack is then surely half-way, its temporary image made.
        jdk = self.path("jdk")
        os.makedirs(os.path.join(jdk, "bin"))
        write(os.path.join(jdk, "bin", "jlink"), b"")
        ready = self.path("ready")
        hold = self.path("hold")
        os.mkfifo(ready)
        os.mkfifo(hold)
        script = '#!/bin/sh\necho $$ > "%s"\nexec cat "%s"\n' % (ready, hold)
        os.chmod(write(os.path.join(jdk, "bin", "jdeps"), script.encode()), 0o755)
        before = sorted(os.listdir(self.dir))
        pack = subprocess.Popen(
            [PACK, "--app-image", self.path("image"), "--launcher", LAUNCHER, "--main-class",
             "Main", APP_JAR], env=dict(os.environ, JAVA_HOME=jdk),
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        reader = os.open(ready, os.O_RDONLY | os.O_NONBLOCK)
        try:
            readable, _, _ = select.select([reader], [], [], TIME_LIMIT)
            self.assertTrue(readable, "the stand-in jdeps never ran")
            tool = int(os.read(reader, 64).decode())
            self.assertEqual(1, len([n for n in os.listdir(self.dir) if n.startswith("image.")]))
            pack.send_signal(signal.SIGTERM)
            # Only larkwin-pack: the stand-in keeps the output pipes open.
            pack.wait(timeout=TIME_LIMIT)
        finally:
            os.close(reader)
            pack.kill()
            pack.wait(timeout=TIME_LIMIT)
        # Ended, and waited for, before larkwin-pack ended.
        with self.assertRaises(ProcessLookupError):
            os.kill(tool, 0)
        self.assertEqual(-signal.SIGTERM, pack.returncode)
        self.assertEqual(before, sorted(os.listdir(self.dir)))

    def test_copied_runtime_keeps_modes_links_and_times(self):
        home = self.make_home()
        link = self.path("home-link")
        os.symlink(home, link)
        result = self.image("--runtime", link)
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertEqual(b"", result.stderr)
        self.assertRegex(result.stdout.decode(), r"^larkwin-pack: wrote the app image '.*': "
                         r"\d+\.\d MB \(runtime 0\.0 MB\)\n$")
        runtime = self.path("image/runtime")
        for relative in ["bin/java", "lib/private", "lib/sealed", "lib"]:
            original = os.lstat(os.path.join(home, relative))
            copied = os.lstat(os.path.join(runtime, relative))
            self.assertEqual(stat.S_IMODE(original.st_mode), stat.S_IMODE(copied.st_mode), relative)
            self.assertEqual(original.st_mtime_ns, copied.st_mtime_ns, relative)
        self.assertEqual("../bin/java", os.readlink(os.path.join(runtime, "lib", "java-link")))
        result = subprocess.run([self.path("image/bin/image"), "x"], capture_output=True,
                                timeout=TIME_LIMIT, env={"PATH": ""})
        self.assertEqual(3, result.returncode, result.stderr)
        self.assertRegex(result.stdout.decode(), r"^stand-in -.* Main x\n$")
        self.assertEqual(0o755, stat.S_IMODE(os.stat(self.path("image/bin/image")).st_mode))
        # Made private while it is filled; published with the usual mode.
        mask = os.umask(0)
        os.umask(mask)
        self.assertEqual(0o777 & ~mask, stat.S_IMODE(os.stat(self.path("image")).st_mode))
        os.chmod(os.path.join(home, "lib", "sealed"), 0o755)
        os.chmod(os.path.join(runtime, "lib", "sealed"), 0o755)

    def test_image_jars_read_no_jar_outside_the_image(self):
        # A stand-in runtime that runs the JDK's java: only lib/ is under test.
        home = self.path("home")
        os.makedirs(os.path.join(home, "bin"))
        java = write(os.path.join(home, "bin", "java"),
                     ('#!/bin/sh\nexec "%s" "$@"\n' % os.path.join(JDK, "bin", "java")).encode())
        os.chmod(java, 0o755)
        os.makedirs(self.path("share/java"))
        os.mkdir(self.path("app"))
        shared = shutil.copy(MERGE_DEP_JAR, self.path("share/java/dep.jar"))
        app = with_class_path(MERGE_APP_JAR, self.path("app/app.jar"),
                              "%s ../share/java/dep.jar" % shared)
        result = self.pack("--app-image", self.path("image"), "--launcher", LAUNCHER,
                           "--runtime", home, "--no-startup-cache", "--main-class",
                           "merge.ServiceMain", app, shared)
        self.assertEqual(0, result.returncode, result.stderr)
        for name in os.listdir(self.path("image/lib")):
            with zipfile.ZipFile(self.path("image/lib/" + name)) as copy:
                manifest = copy.read("META-INF/MANIFEST.MF")
            self.assertNotIn(b"class-path", manifest.lower(), name)

        def started():
            done = subprocess.run([self.path("image/bin/image")], capture_output=True,
                                  timeout=TIME_LIMIT, env={"PATH": ""})
            return done.returncode, done.stdout

        expected = (0, b"greeters: app merge-dep\nshared: from the app\n")
        self.assertEqual(expected, started())
        # The shared jar changes: its service file now names a class nobody has.
        os.remove(shared)
        with zipfile.ZipFile(shared, "w") as changed:
            changed.writestr("META-INF/services/merge.Greeter", "merge.Missing\n")
        self.assertEqual(expected, started())

    def assert_image_refused(self, message, *options, environment=None, name="image"):
        before = sorted(os.listdir(self.dir))
        result = self.image(*options, environment=environment, name=name)
        self.assertEqual(1, result.returncode, result.stderr)
        self.assertTrue(result.stderr.endswith(("larkwin-pack: %s\n" % message).encode()),
                        result.stderr)
        self.assertEqual(before, sorted(os.listdir(self.dir)))

    def test_failures_leave_nothing_behind(self):
        home = self.make_home()
        os.mkdir(self.path("image"))
        self.assert_image_refused("'%s' already exists" % self.path("image"), "--runtime", home)
        os.rmdir(self.path("image"))
        self.assert_image_refused("'%s' is not a Java runtime's home: it has no bin/java"
                                  % self.dir, "--runtime", self.dir)
        cut = write(self.path("cut.jar"), read(APP_JAR)[:-1])
        result = self.pack("--app-image", self.path("image"), "--launcher", LAUNCHER,
                           "--runtime", home, "--main-class", "Main", cut)
        self.assertEqual(("larkwin-pack: '%s' is not a zip archive\n" % cut).encode(),
                         result.stderr)
        self.assertNotIn("image", "".join(os.listdir(self.dir)))
        no_jdk = dict(os.environ, JAVA_HOME=home)
        self.assert_image_refused("'%s' has no bin/jlink: name a JDK by JAVA_HOME" % home,
                                  environment=no_jdk)
        # jdeps runs, then jlink fails on the module that does not exist.
        with_jdk = dict(os.environ, JAVA_HOME=JDK)
        self.assert_image_refused("'%s/bin/jlink' failed with exit status 1" % JDK,
                                  "--add-modules", "no.such.module", environment=with_jdk)
        os.chmod(os.path.join(home, "lib", "sealed"), 0o755)

    def test_image_that_cannot_be_made_or_named_leaves_nothing(self):
        home = self.make_home()
        # The temporary directory beside it cannot be made, as root too: its
        # name is the image's, 250 bytes, and seven more.
        self.assert_image_refused("Unable to create '%s': File name too long"
                                  % self.path("i" * 250), "--runtime", home, name="i" * 250)
        # Filled, then it cannot take its name: a link (to nothing) is there.
        os.symlink("nowhere", self.path("image"))
        self.assert_image_refused("Unable to create '%s': Not a directory" % self.path("image"),
                                  "--runtime", home)
        os.remove(self.path("image"))
        self.assert_image_refused("cannot name the bundle after '%s/..'; give --name" % self.dir,
                                  "--runtime", home, name="..")
        os.chmod(os.path.join(home, "lib", "sealed"), 0o755)

    def test_runtime_that_cannot_be_copied_whole_leaves_nothing(self):
        home = self.make_home()
        os.chmod(os.path.join(home, "lib", "sealed"), 0o755)
        write(os.path.join(home, "lib", "sealed", "inside"), b"x")
        os.chmod(os.path.join(home, "lib", "sealed"), 0o555)
        # A FIFO is neither a file, a directory nor a link.
        fifo = os.path.join(home, "lib", "fifo")
        os.mkfifo(fifo)
        self.assert_image_refused("Unable to copy '%s': Invalid argument" % fifo, "--runtime", home)
        os.chmod(os.path.join(home, "lib", "sealed"), 0o755)

    def test_parent_directories_are_made_and_failures_say_why(self):
        home = self.make_home()
        result = self.image("--runtime", home, name="dist/deeper/image")
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertEqual(["bin", "lib", "runtime"], sorted(os.listdir(self.path("dist/deeper/image"))))
        write(self.path("file"), b"")
        self.assert_image_refused("Unable to create '%s': Not a directory" % self.path("file"),
                                  "--runtime", home, name="file/image")
        os.chmod(os.path.join(home, "lib", "sealed"), 0o755)

    def test_a_failed_training_leaves_no_parent_folder_it_made(self):
        home = self.make_home()
        os.chmod(os.path.join(home, "lib", "sealed"), 0o755)
        before = sorted(os.listdir(self.dir))
        # The stand-in java exits 3, so the training run fails.
        result = self.pack("--app-image", self.path("dist/deeper/image"), "--launcher", LAUNCHER,
                           "--runtime", home, "--main-class", "Main", APP_JAR, "--train", "--",
                           "x")
        self.assertEqual(1, result.returncode, result.stderr)
        self.assertIn(b"ended with exit status 3", result.stderr)
        self.assertEqual(before, sorted(os.listdir(self.dir)))

    def test_jars_named_alike_keep_their_order_under_other_names(self):
        home = self.make_home()
        os.mkdir(self.path("other"))
        twin = write(self.path("other/packTestApp.jar"), read(APP_JAR))
        result = self.pack("--app-image", self.path("image"), "--launcher", LAUNCHER, "--runtime",
                           home, "--main-class", "Main", APP_JAR, twin, MERGE_DEP_JAR)
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertEqual(b"addpath ../lib/packTestApp.jar\naddpath ../lib/2-packTestApp.jar\n"
                         b"addpath ../lib/mergeDep.jar\nmainclass Main\nstartupcache\n"
                         b"javapath ../runtime/bin/java\n", self.show(self.path("image/bin/image")).stdout)
        os.chmod(os.path.join(home, "lib", "sealed"), 0o755)



class DebianJdkImageTest(PackTestCase):
    """An image of Debian's own JDK 17, whose files lie partly in /etc and
    behind links; it runs in a mount namespace where those are hidden (as
    root, or else in a user namespace of its own)."""

    def test_debian_jdk_copy_needs_nothing_outside_the_image(self):
        if not os.path.isdir("/etc/java-17-openjdk"):
            self.skipTest("Debian's OpenJDK 17 is not installed")
        result = self.pack("--app-image", self.path("image"), "--launcher", LAUNCHER, "--runtime",
                           "/usr/lib/jvm/java-17-openjdk-amd64", "--quiet", "--main-class", "Main",
                           APP_JAR)
        self.assertEqual(0, result.returncode, result.stderr)
        image = os.path.realpath(self.path("image"))
        for directory, subdirectories, files in os.walk(image):
            for name in subdirectories + files:
                path = os.path.join(directory, name)
                if os.path.islink(path) and os.path.exists(path):
                    self.assertTrue(os.path.realpath(path).startswith(image + "/"), path)
        # Debian's JDK without its /etc and /usr/lib/jvm: the copy must not miss them.
        hidden = ("mount -t tmpfs none /etc/java-17-openjdk && mount -t tmpfs none /usr/lib/jvm "
                  "&& exec \"$0\" \"$@\"")
        unshare = ["unshare", "-m"] if os.geteuid() == 0 else ["unshare", "-r", "-m"]
        result = subprocess.run(unshare + ["sh", "-c", hidden, self.path("image/bin/image"), "one"],
                                capture_output=True, timeout=TIME_LIMIT,
                                env={"PATH": "/usr/bin:/bin"})
        if b"unshare" in result.stderr or b"mount" in result.stderr:
            self.skipTest("cannot make a mount namespace here: %s" % result.stderr.decode())
        self.assertEqual(0, result.returncode, result.stdout + result.stderr)
        self.assertIn(b"one", result.stdout)


if __name__ == "__main__":
    unittest.main()
