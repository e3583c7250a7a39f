#!/usr/bin/env python3
"""What the start-up cache's key costs a warm start: the same app image,
packed and trained once by the launcher before a change and once by the
launcher after it, started warm (the image's archive mapped, the user's
record of it noted) side by side, run after run in a new random order each
round. The image holds Groovy's 42 jars from Debian (groovy.ui.GroovyMain
-e 'println 1'): each start computes both keys (the user's and the
image's), so the cost grows with the number of jars. Prints a Markdown
table; see bench/KEY_COST.md.

Usage: key_cost.py OLD_BUILD NEW_BUILD   (each holding larkwin and
larkwin-pack)   LARKWIN_BENCH_KEY_RUNS (default 41) rounds;
LARKWIN_BENCH_KEY_HOME the runtime copied into the image (default JDK 17).
"""

import glob
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

RUNS = int(os.environ.get("LARKWIN_BENCH_KEY_RUNS", "41"))
HOME = os.environ.get("LARKWIN_BENCH_KEY_HOME", "/usr/lib/jvm/java-17-openjdk-amd64")
JARS = sorted(glob.glob("/usr/share/groovy/lib/*.jar"))
ARGS = ["-e", "println 1"]


def pack(build, directory):
    image = os.path.join(directory, "image")
    subprocess.run([os.path.join(build, "larkwin-pack"), "--quiet", "--app-image", image,
                    "--name", "groovy", "--runtime", HOME, "--main-class", "groovy.ui.GroovyMain"]
                   + JARS + ["--train", "--"] + ARGS,
                   check=True, timeout=900, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return [os.path.join(image, "bin", "groovy")] + ARGS


def timed(command, environment):
    begin = time.perf_counter()
    status = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            env=environment, timeout=120).returncode
    if status != 0:
        sys.exit("failed (%d): %s" % (status, " ".join(command)))
    return (time.perf_counter() - begin) * 1000


def ratio_interval(a, b, resamples=2000):
    rng = random.Random(13)
    ratios = sorted(statistics.median(rng.choices(a, k=len(a)))
                    / statistics.median(rng.choices(b, k=len(b))) for _ in range(resamples))
    return ratios[int(resamples * 0.025)], ratios[int(resamples * 0.975) - 1]


def main():
    old, new = (os.path.abspath(p) for p in sys.argv[1:3])
    work = tempfile.mkdtemp(prefix="larkwin-key-cost-")
    try:
        base = dict(os.environ)
        base.pop("JAVA_HOME", None)
        variants = {}
        for name, build in (("before", old), ("after", new)):
            directory = os.path.join(work, name)
            os.makedirs(directory)
            variants[name] = (pack(build, directory),
                              dict(base, XDG_CACHE_HOME=os.path.join(directory, "cache")))
        for name, (command, environment) in variants.items():
            for _ in range(3):  # warm-up: the user's record of the image's archive is noted
                timed(command, environment)
            debug = subprocess.run([command[0], "+DEBUG"] + ARGS, env=environment, timeout=120,
                                   capture_output=True).stdout.decode()
            if "startupcache: using the image's" not in debug:
                sys.exit("%s: the image's archive is not used:\n%s" % (name, debug))
        times = {name: [] for name in variants}
        order = list(variants)
        rng = random.Random(7)
        for _ in range(RUNS):
            rng.shuffle(order)
            for name in order:
                times[name].append(timed(*variants[name]))
        print("%d interleaved warm starts of each, %d jars, %s; wall time in ms.\n"
              % (RUNS, len(JARS), HOME))
        print("| launcher | median | quartiles | min |")
        print("|---|---:|---:|---:|")
        for name in variants:
            q1, median, q3 = statistics.quantiles(times[name], n=4)
            print("| %s | %.1f | %.1f to %.1f | %.1f |" % (name, median, q1, q3, min(times[name])))
        low, high = ratio_interval(times["after"], times["before"])
        print("\nafter / before: %.3f (95%% interval %.3f to %.3f)"
              % (statistics.median(times["after"]) / statistics.median(times["before"]), low, high))
    finally:
        shutil.rmtree(work, True)


main()
