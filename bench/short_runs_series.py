#!/usr/bin/env python3
"""A long series of the hot loop with "shortruns" once it has chosen,
against the same launcher with the cache alone, run by run in turns: the
mean CPU time over the series counts the runs in which shortruns tries the
mode it did not choose, which medians leave out (bench/SHORT_RUNS.md).

    bench/short_runs_series.py BUILD/larkwin RUNS JAVA_HOME

The loop's sizes come from LARKWIN_BENCH_HOT_ROUNDS (N,M) or, as in
bench/short_runs.py, from a calibration to 0.7 s and 1.4 s of plain java."""

import os
import statistics
import sys

import short_runs as bench
from startup_cache import feature_of


def series(launcher, home, workload, runs, env):
    directory = os.path.join(bench.WORK, "series", workload.name.replace(" ", ""))
    os.makedirs(directory, exist_ok=True)
    cache = bench.larkwin(launcher, home, workload, directory, "cache", [])
    short = bench.larkwin(launcher, home, workload, directory, "shortruns", ["shortruns"])
    bench.learn(short, env)
    bench.run(cache, dict(env, LARKWIN_STARTUP_CACHE="wait"))
    for _ in range(3):
        bench.run(cache, env)
    times = {"cache": [], "shortruns": []}
    trials = 0
    for number in range(runs):
        order = ["cache", "shortruns"] if number % 2 == 0 else ["shortruns", "cache"]
        for name in order:
            if name == "shortruns":
                wall, cpu, said = bench.debug_run(short, env)
                trials += said.startswith("shortruns: C1 only")
            else:
                wall, cpu, _ = bench.debug_run(cache, env)
            times[name].append(cpu)
    return times, trials


def main():
    launcher, runs, home = os.path.abspath(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    os.makedirs(bench.WORK, exist_ok=True)
    env = dict(os.environ)
    env.pop("LARKWIN_STARTUP_CACHE", None)
    loops = [int(n) for n in os.environ.get("LARKWIN_BENCH_HOT_ROUNDS", "").split(",") if n]
    print("| JDK | workload | runs | cache: mean, median | shortruns: mean, median | "
          "shortruns / cache (mean) | (median) | runs in C1 only |")
    print("|---|---|---|---|---|---|---|---|")
    for workload in bench.workloads(loops or bench.hot_loop_rounds(home)):
        if not workload.name.startswith("hot"):
            continue
        times, trials = series(launcher, home, workload, runs, env)
        c, s = times["cache"], times["shortruns"]
        print("| %d | %s | %d | %.3f, %.3f | %.3f, %.3f | %.3f | %.3f | %d |" % (
            feature_of(home), workload.name, runs, statistics.mean(c), statistics.median(c),
            statistics.mean(s), statistics.median(s), statistics.mean(s) / statistics.mean(c),
            statistics.median(s) / statistics.median(c), trials), flush=True)


if __name__ == "__main__":
    main()
