#!/usr/bin/env python3
"""larkwin-pack --service: the app image gets a systemd unit that systemd's
own checker accepts, and its configuration sends crash reports to the
state directory.

The programs come from the environment that tests/pack/CMakeLists.txt sets:
PACK_TEST_PACK (larkwin-pack), PACK_TEST_LAUNCHER (larkwin) and
PACK_TEST_APP_JAR. The image copies a stand-in runtime, so that no jlink
runs. Every process runs with a time limit.
"""

import os
import shutil
import subprocess
import tempfile
import unittest

PACK = os.environ.get("PACK_TEST_PACK", "")
LAUNCHER = os.environ.get("PACK_TEST_LAUNCHER", "")
APP_JAR = os.environ.get("PACK_TEST_APP_JAR", "")
TIME_LIMIT = 60


def run(*command):
    return subprocess.run(list(command), capture_output=True, timeout=TIME_LIMIT)


class ServiceTest(unittest.TestCase):
    def setUp(self):
        self.dir = os.path.realpath(tempfile.mkdtemp(prefix="larkwin-service-"))
        self.addCleanup(shutil.rmtree, self.dir, True)
        # Only bin/java is looked for in a runtime that is copied.
        self.runtime = os.path.join(self.dir, "runtime-home")
        os.makedirs(os.path.join(self.runtime, "bin"))
        with open(os.path.join(self.runtime, "bin", "java"), "w") as java:
            java.write("#!/bin/sh\nexit 0\n")
        os.chmod(os.path.join(self.runtime, "bin", "java"), 0o755)

    def pack(self, *options):
        image = os.path.join(self.dir, "orders")
        result = run(PACK, "--app-image", image, "--runtime", self.runtime, "--launcher",
                     LAUNCHER, "--main-class", "Main", "--quiet", *options, APP_JAR)
        self.assertEqual(0, result.returncode, result.stderr.decode())
        return image

    def read_unit(self, image):
        with open(os.path.join(image, "lib", "systemd", "system", "orders.service")) as unit:
            return unit.read()

    def test_unit_runs_the_images_launcher(self):
        image = self.pack("--service")
        unit = self.read_unit(image)
        self.assertIn('\nExecStart="%s/bin/orders"\n' % image, unit)
        self.assertIn("\nType=exec\n", unit)
        shown = run(PACK, "--show", os.path.join(image, "bin", "orders")).stdout.decode()
        self.assertEqual("crashdir", shown.splitlines()[-1])

    def test_without_service_there_is_no_unit(self):
        image = self.pack()
        self.assertFalse(os.path.exists(os.path.join(image, "lib", "systemd")))
        shown = run(PACK, "--show", os.path.join(image, "bin", "orders")).stdout.decode()
        self.assertNotIn("crashdir", shown)

    def test_service_options_need_their_context(self):
        for options, message in (
                (["-o", os.path.join(self.dir, "app"), "--service"],
                 "--service needs --app-image"),
                (["--app-image", os.path.join(self.dir, "img"), "--service-notify"],
                 "--service-notify needs --service")):
            result = run(PACK, *options, "--main-class", "Main", APP_JAR)
            self.assertEqual(2, result.returncode)
            self.assertIn(message, result.stderr.decode())

    @unittest.skipUnless(shutil.which("systemd-analyze"), "systemd-analyze is not installed")
    def test_systemd_accepts_every_variant(self):
        for options in ([], ["--service-notify", "--service-low-port"],
                        ["--service-user", "orders-svc"]):
            with self.subTest(options=options):
                image = self.pack("--service", *options)
                unit = os.path.join(image, "lib", "systemd", "system", "orders.service")
                result = run("systemd-analyze", "verify", unit)
                output = (result.stdout + result.stderr).decode()
                self.assertEqual(0, result.returncode, output)
                # Unknown or malformed settings are only warned about.
                self.assertNotIn("orders.service", output)
                shutil.rmtree(image)

    def pack_into(self, folder, name):
        image = os.path.join(os.fsencode(self.dir), folder, name.encode())
        result = run(PACK, "--app-image", image, "--runtime", self.runtime, "--launcher",
                     LAUNCHER, "--main-class", "Main", "--quiet", "--service", APP_JAR)
        return image, result

    # ExecStart= names the program in a quoted path: systemd's checker runs
    # once over the units of every folder name it can express; the names it
    # cannot ('$', quotes, backslashes, bytes that are not UTF-8) are refused
    # before the image is made.
    @unittest.skipUnless(shutil.which("systemd-analyze"), "systemd-analyze is not installed")
    def test_hostile_folder_names_are_verified_or_refused(self):
        units = []
        for n, folder in enumerate(["my app", "100%", "%n%%", "caf\u00e9", "semi;colon",
                                    "back`tick`", "a=b", "-dash", "(x)|&<>"]):
            image, result = self.pack_into(folder.encode(), "orders%d" % n)
            self.assertEqual(0, result.returncode, (folder, result.stderr.decode()))
            units.append(os.path.join(image, b"lib/systemd/system/orders%d.service" % n))
        result = run("systemd-analyze", "verify", *units)
        output = (result.stdout + result.stderr).decode(errors="replace")
        self.assertEqual(0, result.returncode, output)
        self.assertNotIn(".service", output)
        for folder, reason in [(b"$HOME", "holds $"), (b'say"hi"', 'holds "'),
                               (b"it's", "holds '"), (b"back\\slash", "holds \\"),
                               (b"caf\xe9", "is not UTF-8")]:
            image, result = self.pack_into(folder, "refused")
            self.assertEqual(1, result.returncode, folder)
            self.assertIn(reason, result.stderr.decode(errors="replace"))
            self.assertFalse(os.path.lexists(image), folder)


if __name__ == "__main__":
    unittest.main()
