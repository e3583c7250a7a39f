#!/usr/bin/env python3
"""Signed apt and rpm repositories written by larkwin-pack, used by apt-get
and dnf as a user's machine uses them.

tests/pack/repository/CMakeLists.txt sets the environment: PACKAGE_TEST_PACK
(larkwin-pack), PACKAGE_TEST_DEMO_JAR (the demo). Each test makes a signing
key without a passphrase in a GNUPGHOME of its own, serves the repository
from 127.0.0.1 on a port of its own (an HTTP server in a thread, shut down
at the end), and makes small packages of the demo whose runtime is a
stand-in: its bin/java prints the version it was packaged with, so that
running the installed application tells which version runs. apt-get runs
with its sources, lists and cache in the test's folder, so this machine's
apt state is untouched; only installing a package touches the machine (as
root, with the guard of installing.py). Every process runs with a time
limit.
"""

import fcntl
import functools
import glob
import gzip
import hashlib
import http.server
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import unittest
import urllib.request

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "package"))

from installing import APT_TIME_LIMIT, LOCK_WAIT_SECONDS, purge, refuse_to_touch  # noqa: E402
from package_test import DEMO_JAR, PACK, TIME_LIMIT, checked, run  # noqa: E402

NAME = "larkwin-test-updates"
SOURCES = "/etc/apt/sources.list.d/%s.sources" % NAME
KEYRING = "/etc/apt/keyrings/%s-archive-keyring.pgp" % NAME


class Server:
    """The folder served over HTTP on 127.0.0.1, on a port the system picks."""

    def __init__(self, folder):
        handler = functools.partial(QuietHandler, directory=folder)
        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        self.url = "http://127.0.0.1:%d/" % self.server.server_address[1]
        self.thread = threading.Thread(target=self.server.serve_forever)
        self.thread.start()

    def stop(self):
        self.server.shutdown()
        self.server.server_close()
        self.thread.join(TIME_LIMIT)


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *arguments):
        pass


def fetch(url):
    with urllib.request.urlopen(url, timeout=TIME_LIMIT) as answer:
        return answer.read()


class RepositoryCase(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="larkwin-repository-test-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        # apt's download methods run as _apt: they read the key and the files.
        os.chmod(self.dir, 0o755)
        self.repo = os.path.join(self.dir, "repo")
        self.gnupg = self.new_key("Larkwin Updates <updates@example.org>", "gnupg")
        self.key = self.fingerprint(self.gnupg)
        server = Server(self.repo)
        self.addCleanup(server.stop)
        self.url = server.url
        self.licence = os.path.join(self.dir, "LICENSE")
        with open(self.licence, "w") as file:
            file.write("Copyright 2026 the larkwin authors\n\nMIT License\n")

    def new_key(self, user, folder):
        """A GNUPGHOME holding a new signing key without passphrase."""
        home = os.path.join(self.dir, folder)
        os.makedirs(home, mode=0o700)
        self.addCleanup(run, "gpgconf", "--kill", "all", env=dict(os.environ, GNUPGHOME=home))
        checked("gpg", "--batch", "--passphrase", "", "--quick-gen-key", user, "rsa2048", "sign",
                "never", env=dict(os.environ, GNUPGHOME=home))
        return home

    def fingerprint(self, home):
        listing = checked("gpg", "--batch", "--with-colons", "--list-secret-keys",
                          env=dict(os.environ, GNUPGHOME=home))
        return re.search(r"^fpr:+([0-9A-F]+):", listing, re.MULTILINE).group(1)

    def add_key(self, user, expiry="never"):
        """A second signing key in the test's GNUPGHOME; its fingerprint."""
        checked("gpg", "--batch", "--passphrase", "", "--quick-gen-key", user, "rsa2048", "sign",
                expiry, env=dict(os.environ, GNUPGHOME=self.gnupg))
        listing = checked("gpg", "--batch", "--with-colons", "--list-secret-keys", user,
                          env=dict(os.environ, GNUPGHOME=self.gnupg))
        return re.search(r"^fpr:+([0-9A-F]+):", listing, re.MULTILINE).group(1)

    def snapshot(self, folder):
        """Every file under folder with its SHA-256."""
        found = {}
        for top, _, files in os.walk(folder):
            for name in files:
                with open(os.path.join(top, name), "rb") as file:
                    found[os.path.relpath(os.path.join(top, name), folder)] = hashlib.sha256(
                        file.read()).hexdigest()
        return found

    def pack(self, version, *options, runnable=True, status=0, key=None, signed=True):
        """Runs larkwin-pack for the demo at version with the options, its
        stand-in runtime printing that version (an rpm's runtime is left
        unrunnable: an executable script would require /bin/sh, which an
        empty dnf root lacks)."""
        runtime = os.path.join(self.dir, "runtime-" + version)
        java = os.path.join(runtime, "bin", "java")
        if not os.path.exists(java):
            os.makedirs(os.path.dirname(java))
            with open(java, "w") as file:
                file.write("#!/bin/sh\necho \"demo %s: $*\"\n" % version if runnable
                           else "stand-in %s\n" % version)
            os.chmod(java, 0o755 if runnable else 0o644)
        out = os.path.join(self.dir, "out-" + version)
        shutil.rmtree(out, ignore_errors=True)
        os.makedirs(out)
        command = [PACK, "--name", NAME, "--app-version", version, "--description",
                   "Updates test", "--maintainer", "Larkwin Tests <tests@example.org>",
                   "--license-file", self.licence, "--license", "MIT", "--runtime", runtime,
                   "--main-class", "com.larkwin.demo.Demo", "--quiet"] + (
                       ["--sign-key", key or self.key] if signed else []) + list(options) + [
                       DEMO_JAR]
        result = run(*command, env=dict(os.environ, GNUPGHOME=self.gnupg))
        self.assertEqual(status, result.returncode, result.stdout + result.stderr)
        return out, result.stderr

    def publish_deb(self, version, *options):
        out, _ = self.pack(version, "--deb", os.path.join(self.dir, "out-" + version),
                           "--apt-repo", self.repo, "--update-url", self.url, *options)
        return out


class AptCase(RepositoryCase):
    def apt(self, *arguments, sources=None, status=0):
        """apt-get with the test's sources, lists and cache; of the
        machine's state, dpkg's (and the record of what was installed by
        hand). Returns what it printed."""
        state = os.path.join(self.dir, "apt")
        parts = os.path.join(state, "sources.list.d")
        os.makedirs(parts, exist_ok=True)
        for partial in ("lists/partial", "cache/archives/partial"):
            os.makedirs(os.path.join(state, partial), exist_ok=True)
        if sources is None:
            sources = os.path.join(parts, NAME + ".sources")
            with open(sources, "w") as file:
                file.write("Types: deb\nURIs: %s\nSuites: stable\nComponents: main\n"
                           "Signed-By: %s\n" % (self.url, os.path.join(
                               self.repo, NAME + "-archive-keyring.pgp")))
        command = ["apt-get", "-y", "-o", "Dir::Etc::SourceList=" + sources,
                   "-o", "Dir::Etc::SourceParts=" + os.path.join(state, "none"),
                   "-o", "Dir::State::Lists=" + os.path.join(state, "lists"),
                   "-o", "Dir::Cache=" + os.path.join(state, "cache"),
                   "-o", "DPkg::Lock::Timeout=%d" % LOCK_WAIT_SECONDS]
        result = run(*(command + list(arguments)), stdin=subprocess.DEVNULL,
                     timeout=APT_TIME_LIMIT,
                     env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))
        printed = result.stdout + result.stderr
        self.assertEqual(status, result.returncode, printed)
        return printed

    def release_files(self):
        return glob.glob(os.path.join(self.repo, "dists", "stable", "*Release*"))


class AptRepositoryTest(AptCase):
    def test_versions_beyond_keep_leave_and_apt_reads_the_rest(self):
        folder = os.path.join(self.repo, "pool", "main", "l", NAME)
        binary = os.path.join(self.repo, "dists", "stable", "main", "binary-amd64")
        for version in ("1.0", "1.1", "2.0~rc1", "2.0", "2.1"):
            self.publish_deb(version, "--keep", "3")
            if version == "2.0":
                # 1.0 left the index, but the index before named it: it
                # stays for the clients that read that one, until the next update.
                self.assertIn("%s_1.0_amd64.deb" % NAME, os.listdir(folder))
        pool = sorted(os.listdir(folder))
        self.assertEqual(["%s_%s_amd64.deb" % (NAME, v) for v in ("1.1", "2.0", "2.0~rc1", "2.1")],
                         pool)
        with open(os.path.join(binary, "Packages")) as file:
            versions = re.findall(r"^Version: (.*)$", file.read(), re.MULTILINE)
        self.assertEqual(["2.0", "2.0~rc1", "2.1"], sorted(versions))
        # InRelease is signed by the key that the repository's keyring holds.
        keyring = os.path.join(self.repo, NAME + "-archive-keyring.pgp")
        checked("gpgv", "--keyring", keyring, os.path.join(self.repo, "dists/stable/InRelease"))
        checked("gpgv", "--keyring", keyring, os.path.join(self.repo, "dists/stable/Release.gpg"),
                os.path.join(self.repo, "dists/stable/Release"))
        with open(os.path.join(self.repo, NAME + ".sources")) as file:
            self.assertEqual("Types: deb\nURIs: %s\nSuites: stable\nComponents: main\n"
                             "Signed-By: %s\n" % (self.url, KEYRING), file.read())
        self.assertEqual([], glob.glob(os.path.join(self.repo, ".larkwin-pack-*")))
        # The package subscribes itself: its sources file is a conffile.
        deb = os.path.join(self.repo, "pool", "main", "l", NAME, pool[1])
        conffiles = checked("dpkg-deb", "--info", deb, "conffiles").splitlines()
        # Both, so that a package removed, not purged, keeps the two together.
        self.assertIn(SOURCES, conffiles)
        self.assertIn(KEYRING, conffiles)
        self.assertIn("." + KEYRING, checked("dpkg-deb", "--contents", deb))
        self.apt("update")
        policy = self.apt("install", "--simulate", NAME)
        self.assertIn("Inst %s (2.1 " % NAME, policy)

    def test_keys_change_in_two_publishes_and_apt_follows(self):
        self.publish_deb("1.0")
        keyring = os.path.join(self.repo, NAME + "-archive-keyring.pgp")
        old_keyring = os.path.join(self.dir, "old.pgp")
        shutil.copy(keyring, old_keyring)
        # The next key expires within 90 days: it is used, with a warning.
        new = self.add_key("Larkwin Next <next@example.org>", "30d")
        out, errors = self.pack("2.0", "--deb", os.path.join(self.dir, "out-2.0"), "--apt-repo",
                                self.repo, "--update-url", self.url, "--next-sign-key", new)
        # Both signatures: a machine that trusts the old key alone reads it.
        self.apt("update", sources=self.sources(old_keyring))
        both_keyring = os.path.join(self.dir, "both.pgp")
        shutil.copy(keyring, both_keyring)
        shipped = os.path.join(self.dir, "shipped")
        checked("dpkg-deb", "-x", os.path.join(out, "%s_2.0_amd64.deb" % NAME), shipped)
        for path in (both_keyring, shipped + KEYRING):
            listing = checked("gpg", "--batch", "--with-colons", "--show-keys", path)
            self.assertEqual({self.key, new}, set(re.findall(r"^fpr:+([0-9A-F]+):", listing,
                                                               re.MULTILINE)))
        _, errors = self.pack("3.0", "--deb", os.path.join(self.dir, "out-3.0"), "--apt-repo",
                              self.repo, "--update-url", self.url, key=new)
        self.assertIn("expires in", errors)
        self.apt("update", sources=self.sources(both_keyring))
        # (apt keeps the lists it has, with a warning: status 0.)
        printed = self.apt("update", sources=self.sources(old_keyring))
        self.assertIn("NO_PUBKEY " + new[-16:], printed)
        # The old key is the repository's no longer.
        _, errors = self.pack("4.0", "--deb", os.path.join(self.dir, "out-4.0"), "--apt-repo",
                              self.repo, "--update-url", self.url, status=1)
        self.assertIn("--next-sign-key", errors)

    def sources(self, keyring):
        path = os.path.join(self.dir, "apt", os.path.basename(keyring) + ".sources")
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as file:
            file.write("Types: deb\nURIs: %s\nSuites: stable\nComponents: main\n"
                       "Signed-By: %s\n" % (self.url, keyring))
        return path

    def test_packages_changed_after_signing_are_refused(self):
        self.publish_deb("1.0")
        # Every copy of the index that Release names: same length, other content.
        binary = os.path.join(self.repo, "dists", "stable", "main", "binary-amd64")
        for path in glob.glob(os.path.join(binary, "Packages*")) + glob.glob(
                os.path.join(binary, "by-hash", "SHA256", "*")):
            opener = gzip.open if path.endswith(".gz") else open
            if path.endswith(".xz"):
                os.unlink(path)
                continue
            with opener(path, "rb") as file:
                text = file.read()
            if text.startswith(b"\xfd7zXZ"):
                os.unlink(path)
                continue
            with opener(path, "wb") as file:
                file.write(text.replace(b"Version: 1.0", b"Version: 9.0"))
        printed = self.apt("update", status=100)
        # The same length gives a hash that differs; compressed anew, a size.
        self.assertRegex(printed, r"Hash Sum mismatch|File has unexpected size")
        self.assertIn("Some index files failed to download", printed)

    def test_repository_signed_by_another_key_is_refused(self):
        self.publish_deb("1.0")
        other = self.new_key("Someone Else <else@example.org>", "other")
        other_key = self.fingerprint(other)
        dists = os.path.join(self.repo, "dists", "stable")
        for name in ("InRelease", "Release.gpg"):
            os.unlink(os.path.join(dists, name))
        checked("gpg", "--batch", "--local-user", other_key, "--clearsign", "--output",
                os.path.join(dists, "InRelease"), os.path.join(dists, "Release"),
                env=dict(os.environ, GNUPGHOME=other))
        printed = self.apt("update", status=100)
        self.assertIn("NO_PUBKEY " + other_key[-16:], printed)
        self.assertIn("is not signed", printed)

    def test_unsigned_repository_is_refused(self):
        self.publish_deb("1.0")
        for name in ("InRelease", "Release.gpg"):
            os.unlink(os.path.join(self.repo, "dists", "stable", name))
        printed = self.apt("update", status=100)
        self.assertRegex(printed, r"The repository '%s stable Release' is not signed"
                         % re.escape(self.url.rstrip("/")))


class RepositoryRefusalTest(RepositoryCase):
    def test_unusable_key_is_refused_before_anything_is_written(self):
        out = os.path.join(self.dir, "out-1.0")
        _, errors = self.pack("1.0", "--deb", out, "--apt-repo", self.repo, "--update-url",
                              self.url, key="nobody@example.org", status=1)
        self.assertIn("No secret key", errors)
        self.assertFalse(os.path.exists(self.repo))
        self.assertEqual([], os.listdir(out))

    def test_refused_runs_leave_packages_and_repository_as_they_were(self):
        # One folder for the packages and both repositories: the .rpm
        # there is the indexed one, signed.
        both = ("--deb", self.repo, "--rpm", self.repo, "--apt-repo", self.repo, "--rpm-repo",
                self.repo, "--update-url", self.url, "--keep", "1")
        self.pack("1.0", *both, runnable=False)
        rpm = os.path.join(self.repo, "%s-1.0-1.x86_64.rpm" % NAME)
        self.assertNotIn("(none)", checked("rpm", "-qp", "--qf", "%{RSAHEADER:pgpsig}", rpm))
        before = self.snapshot(self.repo)
        other = self.add_key("Someone Else <else@example.org>")
        holder = os.open(self.repo, os.O_RDONLY)
        self.addCleanup(os.close, holder)

        def hold_lock():
            fcntl.flock(holder, fcntl.LOCK_EX | fcntl.LOCK_NB)
            self.addCleanup(fcntl.flock, holder, fcntl.LOCK_UN)

        refusals = [
            ("1.0", ["--long-description", "Another build."], "already, with other content"),
            # dpkg and rpm count 1.00 as 1.0.
            ("1.00", [], "already as 1.0, with other content"),
            ("2.0", [], "--next-sign-key NEW"),
            ("2.0", [], "may be written by others"),
            ("2.0", [], "Another larkwin-pack is writing"),
        ]
        for version, options, reason in refusals:
            if reason.startswith("may"):
                os.chmod(self.repo, 0o775)
            if reason.startswith("Another"):
                os.chmod(self.repo, 0o755)
                hold_lock()
            key = other if reason.startswith("--next") else None
            _, errors = self.pack(version, *(list(both) + options), runnable=False, status=1,
                                  key=key)
            self.assertIn(reason, errors)
            self.assertEqual(before, self.snapshot(self.repo), reason)

    def test_file_of_another_package_in_the_pool_is_refused(self):
        self.publish_deb("1.0")
        folder = os.path.join(self.repo, "pool", "main", "l", NAME)
        shutil.copy(os.path.join(folder, "%s_1.0_amd64.deb" % NAME),
                    os.path.join(folder, "other_1.0_amd64.deb"))
        _, errors = self.pack("2.0", "--deb", os.path.join(self.dir, "out-2.0"), "--apt-repo",
                              self.repo, "--update-url", self.url, status=1)
        self.assertIn("belongs to another package", errors)

    def test_name_that_apt_would_pass_over_is_refused_before_any_work(self):
        out = os.path.join(self.dir, "out")
        os.makedirs(os.path.join(self.dir, "runtime", "bin"))
        with open(os.path.join(self.dir, "runtime", "bin", "java"), "w") as file:
            file.write("#!/bin/sh\n")
        os.chmod(os.path.join(self.dir, "runtime", "bin", "java"), 0o755)
        os.makedirs(out)
        result = run(PACK, "--name", "c++app", "--app-version", "1.0", "--description", "C",
                     "--maintainer", "Larkwin Tests <tests@example.org>", "--license-file",
                     self.licence, "--license", "MIT", "--runtime", os.path.join(self.dir, "runtime"),
                     "--main-class", "com.larkwin.demo.Demo", "--quiet", "--deb", out,
                     "--apt-repo", self.repo, "--sign-key", self.key, "--update-url", self.url,
                     DEMO_JAR, env=dict(os.environ, GNUPGHOME=self.gnupg))
        self.assertEqual(1, result.returncode, result.stdout + result.stderr)
        self.assertIn("cannot name the subscription files", result.stderr)
        self.assertEqual([], os.listdir(out))

    def test_same_version_with_other_content_is_refused(self):
        self.publish_deb("1.0")
        release = os.path.join(self.repo, "dists", "stable", "InRelease")
        with open(release, "rb") as file:
            before = file.read()
        _, errors = self.pack("1.0", "--deb", os.path.join(self.dir, "out-1.0"), "--apt-repo",
                              self.repo, "--update-url", self.url, "--long-description",
                              "Another build.", status=1)
        self.assertIn("already, with other content", errors)
        with open(release, "rb") as file:
            self.assertEqual(before, file.read())

    def test_values_other_programs_would_misread_are_refused(self):
        out = os.path.join(self.dir, "out-1.0")
        for url in ("http://a/'x'", 'http://a/"x"', "http://a/100%", "http://a/$(id)",
                    "http://a/x\ny", "http://a/x\ry"):
            _, errors = self.pack("1.0", "--deb", out, "--apt-repo", self.repo, "--update-url",
                                  url, status=2)
            self.assertIn("--update-url", errors)
        self.assertFalse(os.path.exists(self.repo))


class ReaderDuringPublishTest(AptCase):
    """A client reading while larkwin-pack publishes sees the old
    repository or the new one: what the index names is there, as named."""

    def read_apt(self):
        release = fetch(self.url + "dists/stable/InRelease").decode()
        self.assertIn("-----END PGP SIGNATURE-----", release)
        for digest, size, path in re.findall(r"^ ([0-9a-f]{64}) +(\d+) (\S+)$", release,
                                             re.MULTILINE):
            folder = path.rsplit("/", 1)[0]
            data = fetch("%sdists/stable/%s/by-hash/SHA256/%s" % (self.url, folder, digest))
            self.assertEqual(digest, hashlib.sha256(data).hexdigest())

    def read_rpm(self):
        repomd = fetch(self.url + "repodata/repomd.xml").decode()
        for digest, path in re.findall(r'<checksum type="sha256">([0-9a-f]+)</checksum>.*?'
                                       r'<location href="([^"]+)"', repomd, re.DOTALL):
            self.assertEqual(digest, hashlib.sha256(fetch(self.url + path)).hexdigest())

    def reads_while_publishing(self, read, *publish):
        """Reads in a loop while each publish command runs; returns how
        many whole reads happened during them."""
        reads = 0
        for command in publish:
            process = subprocess.Popen(command, stdout=subprocess.DEVNULL,
                                       stderr=subprocess.PIPE, text=True,
                                       env=dict(os.environ, GNUPGHOME=self.gnupg))
            try:
                while process.poll() is None:
                    read()
                    reads += 1
                self.assertEqual(0, process.wait(TIME_LIMIT), process.stderr.read())
            finally:
                if process.poll() is None:
                    process.kill()
                process.communicate(timeout=TIME_LIMIT)
            read()
        return reads

    def command(self, version, *options):
        os.makedirs(os.path.join(self.dir, "out-" + version), exist_ok=True)
        runtime = os.path.join(self.dir, "runtime-1.0")
        return [PACK, "--name", NAME, "--app-version", version, "--description", "Updates test",
                "--maintainer", "Larkwin Tests <tests@example.org>", "--license-file",
                self.licence, "--license", "MIT", "--runtime", runtime, "--main-class",
                "com.larkwin.demo.Demo", "--quiet", "--sign-key", self.key, "--update-url",
                self.url] + list(options) + [DEMO_JAR]

    def test_apt_index_never_mixed(self):
        self.publish_deb("1.0")
        reads = self.reads_while_publishing(self.read_apt, *[
            self.command(v, "--deb", os.path.join(self.dir, "out-" + v), "--apt-repo", self.repo)
            for v in ("2.0", "3.0", "4.0")])
        self.assertGreater(reads, 0)

    def test_rpm_index_never_mixed(self):
        self.pack("1.0", "--rpm", os.path.join(self.dir, "out-1.0"), "--rpm-repo", self.repo,
                  "--update-url", self.url)
        reads = self.reads_while_publishing(self.read_rpm, *[
            self.command(v, "--rpm", os.path.join(self.dir, "out-" + v), "--rpm-repo", self.repo)
            for v in ("2.0", "3.0", "4.0")])
        self.assertGreater(reads, 0)


class AptInstallTest(AptCase):
    """The demo installed from the repository on this machine, upgraded
    through the sources file that it installed itself, and purged."""

    def setUp(self):
        super().setUp()
        refuse_to_touch(self, NAME)
        for path in (SOURCES, KEYRING):
            if os.path.lexists(path):
                self.skipTest(path + " exists: not touching it")

    def test_install_upgrade_run_and_purge(self):
        self.addCleanup(purge, NAME)
        self.publish_deb("1.0")
        self.apt("update")
        self.apt("install", NAME)
        self.assertIn("demo 1.0:", checked("/usr/bin/" + NAME, "one"))
        with open(SOURCES) as file:
            self.assertIn("URIs: %s\n" % self.url, file.read())
        self.assertTrue(os.path.isfile(KEYRING))
        self.publish_deb("2.0")
        # The package's own subscription, and nothing else of the machine's.
        self.apt("update", sources=SOURCES)
        self.apt("upgrade", sources=SOURCES)
        self.assertIn("demo 2.0: ", checked("/usr/bin/" + NAME, "one"))
        # Upgraded to a version made without --update-url, then removed but
        # not purged: the subscription's two conffiles stay together, and apt
        # still reads every repository.
        out, _ = self.pack("3.0", "--deb", os.path.join(self.dir, "out-3.0"), signed=False)
        self.apt("install", os.path.join(out, "%s_3.0_amd64.deb" % NAME), sources=SOURCES)
        self.assertIn("demo 3.0: ", checked("/usr/bin/" + NAME, "one"))
        self.apt("update", sources=SOURCES)
        self.apt("remove", NAME, sources=SOURCES)
        self.apt("update", sources=SOURCES)
        purge(NAME)
        for path in (SOURCES, KEYRING, "/opt/" + NAME):
            self.assertFalse(os.path.lexists(path), path)


class DnfTest(RepositoryCase):
    """dnf in a root made for the test installs the demo's .rpm from the
    repository, upgrades it, and refuses a package changed after signing."""

    def setUp(self):
        super().setUp()
        if shutil.which("dnf") is None:
            self.skipTest("dnf is not installed")
        if os.geteuid() != 0:
            self.skipTest("dnf --installroot needs root")
        self.root = os.path.join(self.dir, "root")
        self.repos = os.path.join(self.dir, "yum.repos.d")
        os.makedirs(self.repos)
        # librepo checks the metadata's signature with a GnuPG of its own.
        self.addCleanup(self.end_agents)
        self.provide_loader()

    def provide_loader(self):
        """Installs in the empty root a package that stands for the C
        library: it provides the dynamic loader that the launcher's ELF
        header names (rtld(GNU_HASH)), the .rpm's one requirement."""
        top = os.path.join(self.dir, "loader")
        recipe = os.path.join(self.dir, "loader.recipe")
        with open(recipe, "w") as file:
            file.write("Name: larkwin-test-loader\nVersion: 1\nRelease: 1\nSummary: loader\n"
                       "License: MIT\nBuildArch: noarch\nProvides: rtld(GNU_HASH)\n"
                       "%description\nA stand-in.\n%files\n")
        checked("rpmbuild", "-bb", "--quiet", "--define", "_topdir " + top, "--define",
                "_rpmdir " + top, recipe)
        os.makedirs(self.root)
        checked("rpm", "--root", self.root, "--install",
                *glob.glob(os.path.join(top, "**", "*.rpm"), recursive=True))

    def end_agents(self):
        for home in glob.glob(os.path.join(self.root, "var/cache/dnf/*/pubring")):
            run("gpgconf", "--homedir", home, "--kill", "all")

    def dnf(self, *arguments, status=0):
        command = ["dnf", "-y", "--installroot", self.root, "--releasever", "1",
                   "--setopt=reposdir=" + self.repos, "--setopt=cachedir=" +
                   os.path.join(self.root, "var/cache/dnf"), "--refresh"]
        env = dict(os.environ)
        env.pop("GNUPGHOME", None)
        result = run(*(command + list(arguments)), stdin=subprocess.DEVNULL, env=env,
                     timeout=APT_TIME_LIMIT)
        printed = result.stdout + result.stderr
        self.assertEqual(status, result.returncode, printed)
        return printed

    def publish_rpm(self, version):
        self.pack(version, "--rpm", os.path.join(self.dir, "out-" + version), "--rpm-repo",
                  self.repo, "--update-url", self.url, runnable=False)

    def installed(self):
        return checked("rpm", "--root", self.root, "-q", "--qf", "%{VERSION}\n", NAME).strip()

    def test_install_upgrade_and_tampered_package(self):
        self.publish_rpm("1.0")
        shutil.copy(os.path.join(self.repo, NAME + ".repo"), self.repos)
        self.dnf("install", NAME)
        self.assertEqual("1.0", self.installed())
        # The package brought its own subscription and key.
        with open(os.path.join(self.root, "etc/yum.repos.d", NAME + ".repo")) as file:
            self.assertIn("gpgkey=file:///etc/pki/rpm-gpg/RPM-GPG-KEY-" + NAME, file.read())
        self.publish_rpm("2.0")
        self.dnf("upgrade")
        self.assertEqual("2.0", self.installed())
        self.publish_rpm("3.0")
        # Changed after signing, its metadata made anew to match: the
        # metadata's own signature is not asked for, the package's is.
        rpm = os.path.join(self.repo, "%s-3.0-1.x86_64.rpm" % NAME)
        with open(rpm, "r+b") as file:
            file.seek(-200, os.SEEK_END)
            byte = file.read(1)
            file.seek(-200, os.SEEK_END)
            file.write(bytes([byte[0] ^ 0xFF]))
        checked("createrepo_c", "--quiet", "--no-database", self.repo)
        with open(os.path.join(self.repos, NAME + ".repo")) as file:
            text = file.read().replace("repo_gpgcheck=1", "repo_gpgcheck=0")
        with open(os.path.join(self.repos, NAME + ".repo"), "w") as file:
            file.write(text)
        printed = self.dnf("upgrade", status=1)
        self.assertIn("Error: GPG check FAILED", printed)
        self.assertEqual("2.0", self.installed())


if __name__ == "__main__":
    unittest.main()
