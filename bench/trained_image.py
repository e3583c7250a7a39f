#!/usr/bin/env python3
"""An app image trained at pack time (larkwin-pack --train): a user's first
start, with an empty cache of the user's own, against a warm start of the
same image and against a start without the cache, interleaved run by run in
a new random order each round. The workloads are those of
bench/startup_cache.py, each packed as an image that copies the JDK
(--runtime HOME) and trained with its own arguments. Prints a Markdown
table and writes bench/trained-image.tsv (see bench/trained_image.sh)."""

import os
import random
import shutil
import statistics
import subprocess
import sys
import threading
import time

import startup_cache as bench

PACK = os.environ.get("LARKWIN_PACK", os.path.join(os.path.dirname(bench.LARKWIN),
                                                   "larkwin-pack"))
RUNS = int(os.environ.get("LARKWIN_BENCH_TRAINED_RUNS", "11"))
TSV = os.path.join(bench.BENCH, "trained-image.tsv")
VARIANTS = ["first start", "warm start", "without the cache"]


def pack_image(home, workload, directory):
    image = os.path.join(directory, "image")
    jars = workload.class_path or [os.path.join(bench.WORK, "workloads.jar")]
    command = [PACK, "--quiet", "--app-image", image, "--name", "app", "--runtime", home,
               "--main-class", workload.main] + jars + ["--train", "--"] + workload.args
    subprocess.run(command, check=True, timeout=600, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    return os.path.join(image, "bin", "app")


def timed(command, environment):
    """The run's wall time. The wait blocks in waitpid, and a timer kills a
    run that hangs: a wait with a timeout polls, in steps of up to 50 ms, and
    would round every figure up to its next step."""
    begin = time.perf_counter()
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                               env=environment)
    limit = threading.Timer(bench.TIME_LIMIT, process.kill)
    limit.start()
    try:
        process.wait()
    finally:
        limit.cancel()
    elapsed = time.perf_counter() - begin
    if process.returncode != 0:
        raise SystemExit("failed (%d): %s" % (process.returncode, " ".join(command)))
    return elapsed


def measure(home, feature, workload):
    directory = os.path.join(bench.WORK, "trained", "jdk%d" % feature,
                             workload.name.replace(" ", ""))
    shutil.rmtree(directory, ignore_errors=True)
    os.makedirs(directory)
    launcher = pack_image(home, workload, directory)
    command = [launcher] + workload.args
    base = dict(os.environ)
    base.pop("JAVA_HOME", None)
    fresh = os.path.join(directory, "fresh-cache")
    environments = {
        "first start": dict(base, XDG_CACHE_HOME=fresh),
        "warm start": dict(base, XDG_CACHE_HOME=os.path.join(directory, "warm-cache")),
        "without the cache": dict(base, LARKWIN_STARTUP_CACHE="off",
                                  XDG_CACHE_HOME=os.path.join(directory, "off-cache")),
    }
    for name in VARIANTS:  # warm-up, not counted; the warm cache notes the archive
        timed(command, environments[name])
    times = {name: [] for name in VARIANTS}
    generator = random.Random(7)
    for _ in range(RUNS):
        order = list(VARIANTS)
        generator.shuffle(order)
        for name in order:
            if name == "first start":
                shutil.rmtree(fresh, ignore_errors=True)
            times[name].append(timed(command, environments[name]))
    return times


def ms(seconds):
    return "%.0f" % (seconds * 1000)


def row(feature, workload, times):
    cells = []
    for name in VARIANTS:
        found = bench.summary(times[name])
        cells.append("%s (%s-%s)" % (ms(found["median"]), ms(found["q1"]), ms(found["q3"])))
    first, warm = times["first start"], times["warm start"]
    ratio = statistics.median(first) / statistics.median(warm)
    low, high = bench.ratio_interval(first, warm)
    gain = statistics.median(warm) / statistics.median(times["without the cache"])
    return "| %d | %s | %s | %.2f (%.2f-%.2f) | %.2f |" % (
        feature, workload.name, " | ".join(cells), ratio, low, high, gain)


def main():
    os.makedirs(bench.WORK, exist_ok=True)
    workloads = bench.build_workloads()
    lines = ["| JDK | workload | first start | warm start | without the cache | "
             "first / warm | warm / without |", "|---|---|---|---|---|---|---|"]
    tsv = ["jdk\tworkload\tvariant\tmedian_ms\tq1_ms\tq3_ms\tmin_ms\tmax_ms\truns"]
    for home in (bench.JDK17, bench.JDK25):
        if not os.path.exists(os.path.join(home, "bin", "java")):
            bench.say("no JDK in %s: left out" % home)
            continue
        feature = bench.feature_of(home)
        for workload in workloads:
            bench.say("JDK %d, %s" % (feature, workload.name))
            times = measure(home, feature, workload)
            lines.append(row(feature, workload, times))
            for name in VARIANTS:
                found = bench.summary(times[name])
                tsv.append("\t".join([str(feature), workload.name, name] + [
                    ms(found[key]) for key in ("median", "q1", "q3", "min", "max")] +
                    [str(found["runs"])]))
    with open(TSV, "w") as out:
        out.write("\n".join(tsv) + "\n")
    print("%d interleaved rounds; medians in ms with quartiles; ratios of medians with a "
          "bootstrap 95%% interval.\n" % RUNS)
    print("\n".join(lines))


if __name__ == "__main__":
    sys.exit(main())
