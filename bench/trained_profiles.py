#!/usr/bin/env python3
"""App images trained at pack time (larkwin-pack --train) on JDK 25 and
later, whose shipped archive is an AOT cache with the training run's
profiles when a start with them costs clearly less (larkwin-pack trains
with and without them and times both), against the JDK's own recipe (a training run with
-XX:AOTCacheOutput=, then -XX:AOTCache=) and against the same image
trained by an older launcher, whose shipped archive is a static one (no
profiles). The workloads and their commands are bench/short_runs.py's that
have a class path (an image needs a jar). Runs are interleaved in a new
random order each round and timed by CPU time (user + system, from wait4)
and wall time; each start of an image is a user's first, with a cache of
its own that stays empty, so it maps the shipped archive.

    bench/trained_profiles.py BUILD/larkwin-pack OLD_LAUNCHER ROUNDS JAVA_HOME

OLD_LAUNCHER is a larkwin built before the images shipped AOT caches."""

import os
import random
import shutil
import subprocess
import sys

import short_runs as bench
from startup_cache import feature_of

VARIANTS = ["java", "recipe", "trained", "trained, static archive"]


def config_file(workload, directory):
    path = os.path.join(directory, "app.config")
    lines = ["mainclass %s" % workload.main] + ["vmparam %s" % o for o in workload.options]
    with open(path, "w") as out:
        out.write("\n".join(lines + ["startupcache"]) + "\n")
    return path


def trained_image(pack, launcher, home, workload, directory, name):
    image = os.path.join(directory, name)
    shutil.rmtree(image, ignore_errors=True)
    command = [pack, "--app-image", image, "--name", "app", "--runtime", home,
               "--config", config_file(workload, directory)]
    if launcher:
        command += ["--launcher", launcher]
    command += workload.class_path + ["--train", "--"] + workload.args
    packed = subprocess.run(command, check=True, timeout=bench.TIME_LIMIT, capture_output=True,
                            cwd=bench.WORK)
    said = [line for line in packed.stdout.decode().splitlines() if "a start took" in line]
    return [os.path.join(image, "bin", "app")] + workload.args, said[0] if said else ""


def measure(pack, old, home, workload, rounds, env):
    directory = os.path.join(bench.WORK, "trained", workload.name.replace(" ", ""))
    shutil.rmtree(directory, ignore_errors=True)
    os.makedirs(directory)
    commands = {
        "java": bench.java_command(home, workload),
        "recipe": bench.recipe(home, workload, directory),
        "trained": None,
        "trained, static archive": trained_image(pack, old, home, workload, directory, "old")[0],
    }
    commands["trained"], said = trained_image(pack, None, home, workload, directory, "new")
    for command in commands.values():
        bench.run(command, env)  # the page cache
    times = {name: [] for name in commands}
    for _ in range(rounds):
        for name in random.sample(list(commands), len(commands)):
            times[name].append(bench.run(commands[name], env))
    return times, said


def main():
    pack, old = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    rounds, home = int(sys.argv[3]), sys.argv[4]
    os.makedirs(bench.WORK, exist_ok=True)
    env = dict(os.environ)
    env.pop("LARKWIN_STARTUP_CACHE", None)
    env["XDG_CACHE_HOME"] = os.path.join(bench.WORK, "trained", "user-cache")
    lines = ["| workload | java | recipe | trained | trained, static archive | trained / recipe "
             "(CPU) | static / recipe (CPU) | trained / recipe (wall) | load |",
             "|---|---|---|---|---|---|---|---|---|"]
    choices = []
    for workload in bench.workloads([1]):
        if not workload.class_path or workload.name.startswith("hot"):
            continue
        print("== JDK %d, %s (load %.1f)" % (feature_of(home), workload.name,
                                             os.getloadavg()[0]), file=sys.stderr, flush=True)
        t, said = measure(pack, old, home, workload, rounds, env)
        choices.append("- %s: %s" % (workload.name, said))
        lines.append("| %s | %s | %s | %s | %s | %s | %s | %s | %.1f |" % (
            workload.name, bench.cell(t["java"], 1), bench.cell(t["recipe"], 1),
            bench.cell(t["trained"], 1), bench.cell(t["trained, static archive"], 1),
            bench.ratio_interval(t["trained"], t["recipe"], 1),
            bench.ratio_interval(t["trained, static archive"], t["recipe"], 1),
            bench.ratio_interval(t["trained"], t["recipe"], 0), os.getloadavg()[0]))
        print(lines[-1], file=sys.stderr, flush=True)
    print("\n".join(lines + [""] + choices))


if __name__ == "__main__":
    main()
