#!/usr/bin/env python3
"""shortruns against the start-up cache alone (bench/SHORT_RUNS.md): javac
compiling one small file through larkwin with a warm cache, with and
without "shortruns" (after it has chosen), interleaved, on each JDK given.
Prints the medians of wall and CPU time (user + system of the launcher and
what it waited for) with their quartiles.

    bench/short_runs.py BUILD/larkwin ROUNDS JAVA_HOME...
"""

import os
import statistics
import subprocess
import sys
import tempfile
import time

SOURCE = "public class Small { static int twice(int x) { return 2 * x; } }\n"


def run(command, env):
    started = time.monotonic()
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                               env=env)
    _, status, usage = os.wait4(process.pid, 0)
    wall = time.monotonic() - started
    if os.waitstatus_to_exitcode(status) != 0:
        raise SystemExit("failed: %s" % command)
    return wall, usage.ru_utime + usage.ru_stime


def quartiles(values):
    q = statistics.quantiles(values, n=4)
    return "%.3f (%.3f-%.3f)" % (statistics.median(values), q[0], q[2])


def main():
    launcher, rounds, homes = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
    work = tempfile.mkdtemp(prefix="larkwin-short-runs-")
    with open(os.path.join(work, "Small.java"), "w") as out:
        out.write(SOURCE)
    env = dict(os.environ, XDG_CACHE_HOME=os.path.join(work, "xdg"))
    for home in homes:
        variants = {}
        for name, extra in (("cache", ""), ("shortruns", "shortruns\n")):
            app = os.path.join(work, "%s-%s" % (os.path.basename(home), name))
            subprocess.run(["cp", launcher, app], check=True)
            with open(app + ".config", "w") as out:
                out.write("javapath %s/bin/java\nmainclass com.sun.tools.javac.Main\n"
                          "startupcache %s/cache-%s\n%s" % (home, work, name, extra))
            command = [app, "-d", os.path.join(work, "out"), os.path.join(work, "Small.java")]
            run(command, dict(env, LARKWIN_STARTUP_CACHE="wait"))
            # The relisting runs and the learning runs.
            for _ in range(10):
                run(command, env)
            variants[name] = command
        walls = {name: [] for name in variants}
        cpus = {name: [] for name in variants}
        for _ in range(rounds):
            for name, command in variants.items():
                wall, cpu = run(command, env)
                walls[name].append(wall)
                cpus[name].append(cpu)
        chosen = subprocess.run(variants["shortruns"][:1] + ["+DEBUG"] + variants["shortruns"][1:],
                                capture_output=True, env=env).stdout.decode()
        said = [line for line in chosen.split("\n") if line.startswith("shortruns:")]
        print("## %s, %d interleaved rounds" % (home, rounds))
        print(said[0] if said else "shortruns said nothing")
        print("| variant | wall s, median (quartiles) | CPU s, median (quartiles) |")
        print("|---|---|---|")
        for name in variants:
            print("| %s | %s | %s |" % (name, quartiles(walls[name]), quartiles(cpus[name])))
        print("shortruns / cache: wall %.2f, CPU %.2f" % (
            statistics.median(walls["shortruns"]) / statistics.median(walls["cache"]),
            statistics.median(cpus["shortruns"]) / statistics.median(cpus["cache"])))
        print()


if __name__ == "__main__":
    main()
