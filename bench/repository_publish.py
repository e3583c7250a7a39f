#!/usr/bin/env python3
"""How long larkwin-pack takes to add a new version of the demo to signed
apt and rpm repositories that hold 3 versions already, beyond making the
packages.

    bench/repository_publish.py [SAMPLES]

The demo's packages carry a real runtime: one is linked once with jlink
(an app image), then every package copies it (--runtime), so that each
.deb and .rpm is as large as the demo's own. A signing key is made in a
scratch GNUPGHOME. Versions 1 to 3 fill the repository (--keep 3); then each
sample publishes one more version to both repositories in one run. The time
that counts runs from the moment larkwin-pack names the last package it
wrote (the packages are made) to its exit: signing, indexing and renaming,
for apt and rpm together. LARKWIN_BENCH_BUILD names the build (default:
build). Target: under 10 seconds.
"""

import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.environ.get("LARKWIN_BENCH_BUILD", os.path.join(ROOT, "build"))
PACK = os.path.join(BUILD, "larkwin-pack")
DEMO = os.path.join(BUILD, "demo", "demo.jar")
NAME = "larkwin-bench-updates"


def run(command, env):
    subprocess.run(command, check=True, env=env, stdout=subprocess.DEVNULL, timeout=1800)


def publish(version, work, runtime, env):
    """Makes version's .deb and .rpm and adds them; returns the seconds
    from the last package written to the end."""
    out = os.path.join(work, "out")
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    repo = os.path.join(work, "repo")
    command = [PACK, "--deb", out, "--rpm", out, "--name", NAME, "--app-version", version,
               "--description", "Bench", "--maintainer", "Bench <bench@example.org>",
               "--license-file", os.path.join(work, "LICENSE"),
               "--license", "MIT", "--runtime", runtime, "--main-class", "com.larkwin.demo.Demo",
               "--apt-repo", repo, "--rpm-repo", repo, "--sign-key", env["BENCH_KEY"],
               "--update-url", "https://example.org/bench/", "--keep", "3", DEMO]
    process = subprocess.Popen(command, stdout=subprocess.PIPE, text=True, env=env)
    written = None
    for line in process.stdout:
        if line.startswith("larkwin-pack: wrote "):
            written = time.monotonic()
    if process.wait(1800) != 0 or written is None:
        raise SystemExit("larkwin-pack failed for " + version)
    return time.monotonic() - written


def main(arguments):
    samples = int(arguments[1]) if len(arguments) > 1 else 3
    work = tempfile.mkdtemp(prefix="larkwin-bench-repository-")
    env = dict(os.environ, GNUPGHOME=os.path.join(work, "gnupg"))
    try:
        os.makedirs(env["GNUPGHOME"], mode=0o700)
        with open(os.path.join(work, "LICENSE"), "w") as file:
            file.write("MIT License\n")
        run(["gpg", "--batch", "--passphrase", "", "--quick-gen-key",
             "Bench <bench@example.org>", "rsa3072", "sign", "never"], env)
        listing = subprocess.run(["gpg", "--batch", "--with-colons", "--list-secret-keys"],
                                 check=True, env=env, capture_output=True, text=True).stdout
        env["BENCH_KEY"] = re.search(r"^fpr:+([0-9A-F]+):", listing, re.MULTILINE).group(1)
        image = os.path.join(work, "image")
        run([PACK, "--app-image", image, "--main-class", "com.larkwin.demo.Demo", "--quiet",
             DEMO], env)
        runtime = os.path.join(image, "runtime")
        for version in ("1.0", "1.1", "1.2"):
            publish(version, work, runtime, env)
        times = [publish("2.%d" % i, work, runtime, env) for i in range(samples)]
        sizes = [os.path.getsize(os.path.join(work, "out", f))
                 for f in os.listdir(os.path.join(work, "out"))]
        print("packages: %s bytes; repository: %d files" % (
            " and ".join(str(s) for s in sorted(sizes)),
            sum(len(files) for _, _, files in os.walk(os.path.join(work, "repo")))))
        print("publishing beyond making the packages, seconds: %s (median %.2f)" % (
            ", ".join("%.2f" % t for t in times), statistics.median(times)))
        print("load average: %.1f %.1f %.1f" % os.getloadavg())
    finally:
        subprocess.run(["gpgconf", "--kill", "all"], env=env, timeout=60)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main(sys.argv)
