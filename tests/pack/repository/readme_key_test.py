#!/usr/bin/env python3
"""The README's signing keys: the batch form of its gpg line makes a key
without a terminal, as a CI job runs it (no controlling terminal, stdin
closed), in a scratch GNUPGHOME. The command is read from the README itself,
so the guide cannot drift from what works."""

import os
import re
import shutil
import subprocess
import tempfile
import unittest

README = os.path.join(os.path.dirname(__file__), "..", "..", "..", "README.md")
TIME_LIMIT = 120


def readme_batch_command():
    with open(README, encoding="utf-8") as text:
        blocks = re.findall(r"```sh\n(.*?)```", text.read(), re.S)
    for block in blocks:
        joined = block.replace("\\\n", " ")
        for line in joined.splitlines():
            if "gpg --batch" in line and "--quick-gen-key" in line:
                return line.strip()
    return None


@unittest.skipUnless(shutil.which("gpg"), "gpg is not installed")
class ReadmeKeyTest(unittest.TestCase):
    def test_the_batch_key_line_works_without_a_terminal(self):
        command = readme_batch_command()
        self.assertIsNotNone(command, "the README shows no batch form of --quick-gen-key")
        home = tempfile.mkdtemp(prefix="larkwin-readme-gpg-")
        self.addCleanup(shutil.rmtree, home, True)
        environment = dict(os.environ, GNUPGHOME=home)
        result = subprocess.run(command, shell=True, env=environment, capture_output=True,
                                stdin=subprocess.DEVNULL, start_new_session=True,
                                timeout=TIME_LIMIT)
        self.assertEqual(0, result.returncode, result.stderr.decode(errors="replace"))
        listed = subprocess.run(["gpg", "--list-secret-keys", "--with-colons"], env=environment,
                                capture_output=True, timeout=TIME_LIMIT)
        self.assertIn(b"\nfpr:", listed.stdout)
        subprocess.run(["gpgconf", "--kill", "all"], env=environment, capture_output=True,
                       timeout=TIME_LIMIT)


if __name__ == "__main__":
    unittest.main()
