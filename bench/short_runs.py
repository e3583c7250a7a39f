#!/usr/bin/env python3
"""shortruns against the JDK's best recipe (bench/SHORT_RUNS.md): each
workload started as plain java, as java on an archive made by hand the
JDK's way (JDK 25 and later: a training run with -XX:AOTCacheOutput, then
-XX:AOTCache; earlier: -XX:ArchiveClassesAtExit, then
-XX:SharedArchiveFile), through larkwin with a warm start-up cache, and
through larkwin with the cache and "shortruns" once it has chosen; the
four interleaved, in a new random order each round. Every run is timed by
wall time and by CPU time (user + system of the process and what it
waited for, from wait4), which load on the shared machine inflates far
less. Also reports what shortruns' learning runs cost, and each variant's
first start (an empty cache) against plain java.

    bench/short_runs.py BUILD/larkwin ROUNDS JAVA_HOME...

LARKWIN_BENCH_SHORT_WORKLOADS=javac,groovy,... picks workloads; the
results also go to build-bench/short-runs/results.json.
"""

import glob
import json
import os
import random
import shutil
import statistics
import subprocess
import sys
import time

from startup_cache import feature_of

BENCH = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(BENCH)
WORK = os.environ.get("LARKWIN_BENCH_WORK", os.path.join(ROOT, "build-bench", "short-runs"))
SHARE = "/usr/share/java"
GROOVY = "/usr/share/groovy"
ANT = "/usr/share/ant"
JDK17 = "/usr/lib/jvm/java-17-openjdk-amd64"
TIME_LIMIT = 300
# The runs before the measured ones: the recording run, the three that list
# their classes again, and shortruns' learning runs.
PREPARING = 12
SMALL = "public class Small { static int twice(int x) { return 2 * x; } }\n"
# /usr/bin/checkstyle's find_jars.
CHECKSTYLE_JARS = ["antlr4-runtime", "commons-lang3", "commons-beanutils", "commons-collections3",
                   "guava", "commons-cli", "commons-logging", "picocli", "Saxon-HE",
                   "reflections", "checkstyle"]
VARIANTS = ["java", "recipe", "cache", "shortruns"]


class Workload:
    def __init__(self, name, main, class_path, args, options=()):
        self.name, self.main, self.class_path, self.args = name, main, class_path, args
        self.options = list(options)


def workloads(hot_loop_rounds):
    """The commands of Debian's own start scripts in /usr/bin."""
    small = os.path.join(WORK, "Small.java")
    with open(small, "w") as out:
        out.write(SMALL)
    build_xml = os.path.join(WORK, "build.xml")
    with open(build_xml, "w") as out:
        out.write('<project name="bench" default="all"><target name="all">'
                  '<echo message="built"/><mkdir dir="out"/></target></project>\n')
    hot = hot_loop_jar()
    groovy_jar = glob.glob(GROOVY + "/lib/groovy-2*.jar")[:1]
    conf = GROOVY + "/conf/groovy-starter.conf"
    found = [
        Workload("javac", "com.sun.tools.javac.Main", [], ["-d", os.path.join(WORK, "out"), small]),
        Workload("groovy", "org.codehaus.groovy.tools.GroovyStarter", groovy_jar,
                 ["--main", "groovy.ui.GroovyMain", "--conf", conf, "--classpath", ".", "-e",
                  "println([3,1,2].sort())"],
                 ["-Dscript.name=/usr/bin/groovy", "-Dprogram.name=groovy",
                  "-Dgroovy.starter.conf=" + conf, "-Dgroovy.home=" + GROOVY]),
        Workload("rhino", "org.mozilla.javascript.tools.shell.Main",
                 [SHARE + "/js.jar", SHARE + "/jline.jar"],
                 ["-e", "var a = [3, 1, 2]; a.sort(); print(a.join(','))"]),
        # Debian's script also gives -Djava.security.manager=allow, which
        # JDK 24 and later refuse; an echo needs no security manager.
        Workload("ant", "org.apache.tools.ant.launch.Launcher", [ANT + "/lib/ant-launcher.jar"],
                 ["-f", build_xml], ["-Dant.home=" + ANT, "-Dant.library.dir=" + ANT + "/lib"]),
        Workload("checkstyle", "com.puppycrawl.tools.checkstyle.Main",
                 [os.path.join(SHARE, name + ".jar") for name in CHECKSTYLE_JARS],
                 ["-c", "/google_checks.xml", small]),
    ]
    for label, rounds in zip(("hot loop 0.7 s", "hot loop 1.4 s"), hot_loop_rounds):
        found.append(Workload(label, "HotLoop", [hot], [str(rounds)]))
    chosen = os.environ.get("LARKWIN_BENCH_SHORT_WORKLOADS")
    return [w for w in found if not chosen or any(w.name.startswith(c) for c in chosen.split(","))]


def run(command, env=None, expect_zero=True, out=subprocess.DEVNULL):
    """Wall and CPU time of one run, standard streams to /dev/null (or
    standard output to the file out)."""
    started = time.monotonic()
    process = subprocess.Popen(command, stdout=out, stderr=subprocess.DEVNULL, env=env, cwd=WORK)
    _, status, usage = os.wait4(process.pid, 0)
    wall = time.monotonic() - started
    code = os.waitstatus_to_exitcode(status)
    if expect_zero and code != 0:
        raise SystemExit("failed (%d): %s" % (code, " ".join(command)))
    return wall, usage.ru_utime + usage.ru_stime


def java_command(home, workload, options=()):
    command = [home + "/bin/java"]
    if workload.class_path:
        command += ["-cp", ":".join(workload.class_path)]
    return command + workload.options + list(options) + [workload.main] + workload.args


def recipe(home, workload, directory):
    """The JDK's own way, by hand: one training run, then the archive."""
    if feature_of(home) >= 25:
        archive, train, use = "recipe.aot", "-XX:AOTCacheOutput=", "-XX:AOTCache="
    else:
        archive, train, use = "recipe.jsa", "-XX:ArchiveClassesAtExit=", "-XX:SharedArchiveFile="
    archive = os.path.join(directory, archive)
    if os.path.exists(archive):
        os.remove(archive)
    run(java_command(home, workload, [train + archive]))
    return java_command(home, workload, [use + archive])


def larkwin(launcher, home, workload, directory, name, extra):
    """A copy of the launcher with its configuration beside it."""
    app = os.path.join(directory, name)
    shutil.copy(launcher, app)
    lines = ["javapath %s/bin/java" % home]
    lines += ["addpath %s" % entry for entry in workload.class_path]
    lines += ["vmparam %s" % option for option in workload.options]
    lines += ["mainclass %s" % workload.main, "startupcache %s/cache-%s" % (directory, name)]
    with open(app + ".config", "w") as out:
        out.write("\n".join(lines + extra) + "\n")
    return [app] + workload.args


def debug_run(command, env):
    """One run of command with +DEBUG: its times, and what it said of
    shortruns."""
    with open(os.path.join(WORK, "debug.out"), "w+") as out:
        wall, cpu = run(command[:1] + ["+DEBUG"] + command[1:], env, out=out)
        out.seek(0)
        lines = [line.strip() for line in out if line.startswith("shortruns:")]
    return wall, cpu, lines[0] if lines else "shortruns said nothing"


def learn(command, env):
    """The runs before shortruns has chosen: the recording one (waiting for
    its archive), the relisting ones, the learning ones. Each run's mode is
    read from what +DEBUG says in it."""
    runs = []
    run(command, dict(env, LARKWIN_STARTUP_CACHE="wait"))
    for _ in range(PREPARING):
        wall, cpu, line = debug_run(command, env)
        runs.append({"said": line, "wall": wall, "cpu": cpu})
    return runs


def first_starts(launcher, home, workload, directory, env, count):
    """Plain java and larkwin's first start (an empty cache), interleaved."""
    command = larkwin(launcher, home, workload, directory, "first", [])
    cache = os.path.join(directory, "cache-first")
    times = {"java": [], "first start": []}
    for _ in range(count):
        for name in random.sample(list(times), 2):
            shutil.rmtree(cache, ignore_errors=True)
            times[name].append(run(java_command(home, workload) if name == "java" else command,
                                   env))
            # The detached assembly runs after the launcher: let it end
            # before the next run, so that it loads no one.
            for lock in glob.glob(os.path.join(cache, "*.lock")):
                subprocess.run(["flock", lock, "true"], timeout=TIME_LIMIT)
    return times


def measure(launcher, home, workload, rounds, env):
    directory = os.path.join(WORK, "jdk%d" % feature_of(home), workload.name.replace(" ", ""))
    shutil.rmtree(directory, ignore_errors=True)
    os.makedirs(directory)
    commands = {
        "java": java_command(home, workload),
        "recipe": recipe(home, workload, directory),
        "cache": larkwin(launcher, home, workload, directory, "cache", []),
        "shortruns": larkwin(launcher, home, workload, directory, "shortruns", ["shortruns"]),
    }
    learning = learn(commands["shortruns"], env)
    run(commands["cache"], dict(env, LARKWIN_STARTUP_CACHE="wait"))
    for _ in range(3):
        run(commands["cache"], env)  # the relisting runs
    for command in commands.values():
        run(command, env)  # the page cache
    times = {name: [] for name in commands}
    for _ in range(rounds):
        for name in random.sample(list(commands), len(commands)):
            times[name].append(run(commands[name], env))
    chosen = debug_run(commands["shortruns"], env)[2]
    firsts = first_starts(launcher, home, workload, directory, env,
                          int(os.environ.get("LARKWIN_BENCH_SHORT_FIRSTS", "5")))
    return {"times": times, "learning": learning, "chosen": chosen, "firsts": firsts,
            "load": os.getloadavg()}


def hot_loop_jar():
    """HotLoop in a jar (an archive maps no class from a directory)."""
    classes = os.path.join(WORK, "hot")
    os.makedirs(classes, exist_ok=True)
    subprocess.run([JDK17 + "/bin/javac", "--release", "17", "-d", classes,
                    os.path.join(BENCH, "HotLoop.java")], check=True, timeout=TIME_LIMIT)
    jar = os.path.join(WORK, "hotloop.jar")
    subprocess.run([JDK17 + "/bin/jar", "cf", jar, "-C", classes, "."], check=True,
                   timeout=TIME_LIMIT)
    return jar


def hot_loop_rounds(home):
    """Rounds of HotLoop whose runs cost about 0.7 s and 1.4 s of CPU time in
    plain java: a line through the medians of three runs at two sizes (the
    start and the compilers' work are the same at both)."""
    hot = hot_loop_jar()
    sizes = (300, 3000)
    costs = [statistics.median(run([home + "/bin/java", "-cp", hot, "HotLoop", str(n)])[1]
                               for _ in range(3)) for n in sizes]
    slope = max((costs[1] - costs[0]) / (sizes[1] - sizes[0]), 1e-6)
    fixed = costs[0] - slope * sizes[0]
    return [max(int((target - fixed) / slope), 1) for target in (0.7, 1.4)]


def main():
    launcher, rounds, homes = os.path.abspath(sys.argv[1]), int(sys.argv[2]), sys.argv[3:]
    os.makedirs(WORK, exist_ok=True)
    env = dict(os.environ)
    env.pop("LARKWIN_STARTUP_CACHE", None)
    results = []
    loops = [int(n) for n in os.environ.get("LARKWIN_BENCH_HOT_ROUNDS", "").split(",") if n]
    for home in homes:
        found = workloads(loops or hot_loop_rounds(home))
        for workload in found:
            print("== JDK %d, %s (load %.1f)" % (feature_of(home), workload.name,
                                                 os.getloadavg()[0]), file=sys.stderr, flush=True)
            result = measure(launcher, home, workload, rounds, env)
            result.update({"jdk": feature_of(home), "workload": workload.name,
                           "args": workload.args})
            results.append(result)
            with open(os.path.join(WORK, "results.json"), "w") as out:
                json.dump(results, out)
    print(report(results))


def median(pairs, which):
    return statistics.median(p[which] for p in pairs)


def cell(pairs, which):
    values = sorted(p[which] for p in pairs)
    q = statistics.quantiles(values, n=4) if len(values) > 1 else values * 3
    return "%.0f (%.0f-%.0f)" % (statistics.median(values) * 1000, q[0] * 1000, q[2] * 1000)


def ratio_interval(top, bottom, which, rounds=2000):
    """A bootstrap 95% interval of the ratio of two medians."""
    generator = random.Random(12)
    a = [p[which] for p in top]
    b = [p[which] for p in bottom]
    ratios = sorted(statistics.median(generator.choices(a, k=len(a))) /
                    statistics.median(generator.choices(b, k=len(b))) for _ in range(rounds))
    return "%.2f (%.2f-%.2f)" % (statistics.median(a) / statistics.median(b),
                                 ratios[int(rounds * 0.025)], ratios[int(rounds * 0.975) - 1])


def learning_cost(result):
    """The timed runs before shortruns had chosen (the recording run and the
    ones that list their classes again are the cache's own, untimed), and
    what the runs in the mode that lost cost beyond as many in the chosen
    one: both modes' medians taken from these same runs, so under the same
    load."""
    learning = [r for r in result["learning"]
                if "measuring both modes" in r["said"] and "not timed" not in r["said"]]
    # A run's line names the mode it took: "shortruns: C1 only: ...".
    modes = {"C1 only": [], "all tiers": []}
    for r in learning:
        modes["C1 only" if r["said"].startswith("shortruns: C1 only") else "all tiers"].append(
            r["cpu"])
    chosen = "C1 only" if result["chosen"].startswith("shortruns: C1 only") else "all tiers"
    lost = "all tiers" if chosen == "C1 only" else "C1 only"
    if not modes[chosen] or not modes[lost]:
        return len(learning), 0.0
    extra = len(modes[lost]) * (statistics.median(modes[lost]) -
                                statistics.median(modes[chosen]))
    return len(learning), extra


def report(results):
    lines = ["| JDK | workload | java | recipe | cache | shortruns | cache / recipe | "
             "shortruns / recipe (wall) | shortruns / recipe (CPU) | learning: timed runs, CPU s "
             "the losing mode's runs cost beyond the chosen one | first start / java (wall, CPU) | load |",
             "|---|---|---|---|---|---|---|---|---|---|---|---|"]
    for r in results:
        t = r["times"]
        runs, extra = learning_cost(r)
        first = r["firsts"]
        lines.append("| %d | %s | %s | %s | %s | %s | %s | %s | %s | %d, %+.2f s | %.2f, %.2f | "
                     "%.1f |" % (
                         r["jdk"], r["workload"], cell(t["java"], 1), cell(t["recipe"], 1),
                         cell(t["cache"], 1), cell(t["shortruns"], 1),
                         ratio_interval(t["cache"], t["recipe"], 1),
                         ratio_interval(t["shortruns"], t["recipe"], 0),
                         ratio_interval(t["shortruns"], t["recipe"], 1), runs, extra,
                         median(first["first start"], 0) / median(first["java"], 0),
                         median(first["first start"], 1) / median(first["java"], 1),
                         r["load"][0]))
    lines.append("")
    for r in results:
        lines.append("- JDK %d, %s: %s" % (r["jdk"], r["workload"], r["chosen"]))
    return "\n".join(lines)


if __name__ == "__main__":
    if len(sys.argv) == 2 and sys.argv[1].endswith(".json"):
        with open(sys.argv[1]) as saved:
            print(report(json.load(saved)))
    else:
        main()
