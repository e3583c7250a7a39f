"""Times commands side by side: run after run, each command in turn, so that
a change in the machine's load falls on all of them alike. Prints a Markdown
table of the medians, their quartiles, and each command's median difference
from the first with a 95% bootstrap interval.

Usage: interleave.py RUNS (NAME COMMAND)...
"""

import os
import random
import statistics
import sys
import time


def run_once(command):
    start = time.perf_counter_ns()
    pid = os.posix_spawn(command[0], command, os.environ)
    _, status = os.waitpid(pid, 0)
    elapsed = time.perf_counter_ns() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("%s failed with %d" % (command[0], os.waitstatus_to_exitcode(status)))
    return elapsed / 1000.0


def difference_interval(a, b, resamples=1000):
    rng = random.Random(13)
    diffs = sorted(
        statistics.median(rng.choices(a, k=len(a))) - statistics.median(rng.choices(b, k=len(b)))
        for _ in range(resamples))
    return diffs[int(resamples * 0.025)], diffs[int(resamples * 0.975) - 1]


def main():
    runs = int(sys.argv[1])
    pairs = sys.argv[2:]
    names, commands = pairs[0::2], [command.split() for command in pairs[1::2]]
    times = [[] for _ in commands]
    for _ in range(max(runs // 10, 10)):  # warm-up, not counted
        for command in commands:
            run_once(command)
    for _ in range(runs):
        for i, command in enumerate(commands):
            times[i].append(run_once(command))
    print("%d interleaved runs of each; times in microseconds.\n" % runs)
    print("| Command | Median | Quartiles | Median minus the first (95% interval) |")
    print("|---|---:|---:|---:|")
    for i, name in enumerate(names):
        q1, median, q3 = statistics.quantiles(times[i], n=4)
        if i == 0:
            versus = ""
        else:
            low, high = difference_interval(times[i], times[0])
            versus = "%+.0f (%+.0f to %+.0f)" % (median - statistics.median(times[0]), low, high)
        print("| %s | %.0f | %.0f to %.0f | %s |" % (name, median, q1, q3, versus))


main()
