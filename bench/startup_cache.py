#!/usr/bin/env python3
"""The start-up cache's benchmark: real workloads started through larkwin
with a warm cache, through larkwin without the directive, with plain java
and with java given a hand-made archive, interleaved run by run; and the
cost of the training run. Writes bench/STARTUP_CACHE.md and
bench/startup-cache.tsv (see bench/startup_cache.sh)."""

import fcntl
import glob
import json
import os
import random
import shutil
import statistics
import subprocess
import sys
import threading
import time

BENCH = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(BENCH)
LARKWIN = os.environ.get("LARKWIN", os.path.join(ROOT, "build", "larkwin"))
WORK = os.environ.get("LARKWIN_BENCH_WORK", os.path.join(ROOT, "build-bench", "startup-cache"))
RUNS = int(os.environ.get("LARKWIN_BENCH_CACHE_RUNS", "21"))
TRAININGS = int(os.environ.get("LARKWIN_BENCH_CACHE_TRAININGS", "3"))
JDK17 = "/usr/lib/jvm/java-17-openjdk-amd64"
JDK25 = "/usr/lib/jvm/temurin-25-jdk-amd64"
SHARE = "/usr/share/java"
TIME_LIMIT = 120
# A run of some workloads only keeps its figures apart from the whole run's.
TSV = os.environ.get("LARKWIN_BENCH_CACHE_TSV", "startup-cache.tsv")

JETTY = ["jetty9-server", "jetty9-http", "jetty9-io", "jetty9-util", "servlet-api"]
JACKSON = ["jackson-databind", "jackson-core", "jackson-annotations"]


def jars(names):
    return [os.path.join(SHARE, name + ".jar") for name in names]


def say(text):
    print("== " + text, file=sys.stderr, flush=True)


def run(command, **options):
    """Runs command to its end, killed after TIME_LIMIT. The wait blocks in
    waitpid: a wait with a timeout polls, in steps of up to 50 ms, and would
    round every figure up to its next step."""
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                               **options)
    limit = threading.Timer(TIME_LIMIT, process.kill)
    limit.start()
    try:
        process.wait()
    finally:
        limit.cancel()
    return process


def timed(command, cwd):
    begin = time.perf_counter()
    result = run(command, cwd=cwd)
    elapsed = time.perf_counter() - begin
    if result.returncode != 0:
        raise SystemExit("failed (%d): %s" % (result.returncode, " ".join(command)))
    return elapsed


class Workload:
    def __init__(self, name, main, class_path, args, options=()):
        self.name, self.main, self.class_path, self.args = name, main, class_path, args
        self.options = list(options)


GROOVY = "/usr/share/groovy"
ANT = "/usr/share/ant"


def starter_workloads():
    """Groovy's and Ant's own start scripts' commands: a starter class on the
    class path that loads the rest with a class loader of its own."""
    build_xml = os.path.join(WORK, "build.xml")
    with open(build_xml, "w") as out:
        out.write('<project name="bench" default="all"><target name="all">'
                  '<echo message="built"/><mkdir dir="out"/></target></project>\n')
    groovy_jar = glob.glob(GROOVY + "/lib/groovy-2*.jar")
    return [
        Workload("Groovy starter", "org.codehaus.groovy.tools.GroovyStarter", groovy_jar[:1],
                 ["--main", "groovy.ui.GroovyMain", "--conf", GROOVY + "/conf/groovy-starter.conf",
                  "--classpath", ".", "-e", "println([3,1,2].sort())"],
                 ["-Dscript.name=/usr/bin/groovy", "-Dprogram.name=groovy",
                  "-Dgroovy.starter.conf=" + GROOVY + "/conf/groovy-starter.conf",
                  "-Dgroovy.home=" + GROOVY]),
        Workload("Ant starter", "org.apache.tools.ant.launch.Launcher",
                 [ANT + "/lib/ant-launcher.jar"], ["-f", build_xml],
                 # Debian's script also gives -Djava.security.manager=allow,
                 # which JDK 24 and later refuse; an echo needs no security manager.
                 ["-Dant.home=" + ANT, "-Dant.library.dir=" + ANT + "/lib"]),
    ]


def build_workloads():
    """Compiles the workloads with JDK 17 into one jar; javac needs none."""
    classes = os.path.join(WORK, "classes")
    shutil.rmtree(classes, ignore_errors=True)
    os.makedirs(classes)
    sources = [os.path.join(BENCH, "startup", n) for n in ("JettyFirstRequest.java",
                                                           "JacksonRoundTrip.java")]
    subprocess.run([JDK17 + "/bin/javac", "--release", "17", "-cp",
                    ":".join(jars(JETTY + JACKSON)), "-d", classes] + sources +
                   [os.path.join(BENCH, "Hello.java")], check=True, timeout=TIME_LIMIT)
    jar = os.path.join(WORK, "workloads.jar")
    subprocess.run([JDK17 + "/bin/jar", "cf", jar, "-C", classes, "."], check=True,
                   timeout=TIME_LIMIT)
    shutil.copy(os.path.join(BENCH, "Hello.java"), os.path.join(WORK, "Compiled.java"))
    with open(os.path.join(WORK, "Compiled.java")) as source:
        text = source.read().replace("class Hello", "class Compiled")
    with open(os.path.join(WORK, "Compiled.java"), "w") as source:
        source.write(text)
    out = os.path.join(WORK, "javac-out")
    os.makedirs(out, exist_ok=True)
    workloads = [
        Workload("Hello", "Hello", [jar], []),
        Workload("javac", "com.sun.tools.javac.Main", [],
                 ["-d", out, os.path.join(WORK, "Compiled.java")]),
        Workload("Jetty 9", "JettyFirstRequest", [jar] + jars(JETTY), []),
        Workload("Jackson", "JacksonRoundTrip", [jar] + jars(JACKSON), []),
    ] + starter_workloads()
    chosen = os.environ.get("LARKWIN_BENCH_CACHE_WORKLOADS")
    if chosen:
        workloads = [w for w in workloads if w.name in chosen.split(",")]
    return workloads


def java_command(home, workload, options=()):
    command = [home + "/bin/java"]
    if workload.class_path:
        command += ["-cp", ":".join(workload.class_path)]
    return command + workload.options + list(options) + [workload.main] + workload.args


def larkwin_config(directory, home, workload, cache):
    lines = ["javapath %s/bin/java" % home]
    lines += ["addpath %s" % entry for entry in workload.class_path]
    lines += ["vmparam %s" % option for option in workload.options]
    lines += ["mainclass %s" % workload.main]
    lines += ["addparam %s" % arg for arg in workload.args]
    if cache is not None:
        lines.append("startupcache %s" % cache)
    config = os.path.join(directory, "app.config")
    with open(config, "w") as out:
        out.write("\n".join(lines) + "\n")
    return config


def larkwin_command(config):
    return [LARKWIN, "+CONFIG", config]


def wait_for_assembly(cache):
    """The launcher leaves the archive's assembly to a detached java that
    holds a lock on it to its end."""
    for lock in glob.glob(os.path.join(cache, "*.lock")):
        with open(lock) as held:
            fcntl.flock(held, fcntl.LOCK_EX)


def hand_made_archive(home, feature, workload, directory):
    """What a person would do by hand: one training run of java itself."""
    if feature >= 25:
        archive = os.path.join(directory, "hand.aot")
        train, use = "-XX:AOTCacheOutput=", "-XX:AOTCache="
    else:
        archive = os.path.join(directory, "hand.jsa")
        train, use = "-XX:ArchiveClassesAtExit=", "-XX:SharedArchiveFile="
    if os.path.exists(archive):
        os.remove(archive)
    run(java_command(home, workload, [train + archive]), cwd=directory)
    return java_command(home, workload, [use + archive])


def summary(times):
    ordered = sorted(times)
    if not ordered:
        return None
    quartiles = statistics.quantiles(ordered, n=4) if len(ordered) > 1 else [ordered[0]] * 3
    return {"median": statistics.median(ordered), "q1": quartiles[0], "q3": quartiles[2],
            "min": ordered[0], "max": ordered[-1], "runs": len(ordered), "times": ordered}


def ratio_interval(numerator, denominator, rounds=2000):
    """A bootstrap 95% interval of the ratio of two medians: how far the
    machine's noise moves it."""
    generator = random.Random(12)
    ratios = sorted(
        statistics.median(generator.choices(numerator, k=len(numerator))) /
        statistics.median(generator.choices(denominator, k=len(denominator)))
        for _ in range(rounds))
    return ratios[int(rounds * 0.025)], ratios[int(rounds * 0.975) - 1]


def measure(home, feature, workload):
    directory = os.path.join(WORK, "jdk%d" % feature, workload.name.replace(" ", ""))
    shutil.rmtree(directory, ignore_errors=True)
    os.makedirs(os.path.join(directory, "plain"))
    os.makedirs(os.path.join(directory, "cached"))
    cache = os.path.join(directory, "cache")
    variants = {
        "java": java_command(home, workload),
        "java, hand-made archive": hand_made_archive(home, feature, workload, directory),
        "larkwin": larkwin_command(larkwin_config(os.path.join(directory, "plain"), home,
                                                  workload, None)),
        "larkwin, warm start-up cache": larkwin_command(
            larkwin_config(os.path.join(directory, "cached"), home, workload, cache)),
    }
    training = []
    for _ in range(TRAININGS):
        shutil.rmtree(cache, ignore_errors=True)
        training.append(timed(variants["larkwin, warm start-up cache"], directory))
        wait_for_assembly(cache)
    archives = [n for n in os.listdir(cache) if n.endswith((".jsa", ".aot"))]
    if len(archives) != 1:
        raise SystemExit("no archive trained for %s on JDK %d" % (workload.name, feature))
    # The same warm start, but the archive's change time moved just before
    # it (chmod), so that it checks the archive's checksum.
    archive = os.path.join(cache, archives[0])
    variants["larkwin, warm cache, checksum checked"] = variants["larkwin, warm start-up cache"]
    times = {name: [] for name in variants}
    for command in variants.values():
        timed(command, directory)  # warm the page cache
    for _ in range(RUNS):
        order = list(variants.items())
        random.shuffle(order)
        for name, command in order:
            if name == "larkwin, warm cache, checksum checked":
                os.chmod(archive, 0o400)
            times[name].append(timed(command, directory))
    result = {name: summary(values) for name, values in times.items()}
    result["larkwin, training run"] = summary(training)
    result["archive size"] = os.path.getsize(os.path.join(cache, archives[0]))
    return result


def feature_of(home):
    with open(os.path.join(home, "release")) as release:
        for line in release:
            if line.startswith("JAVA_VERSION="):
                return int(line.split('"')[1].split(".")[0])
    return 0


def main():
    if len(sys.argv) == 2:
        # Reports the results.json of an earlier run again.
        with open(sys.argv[1]) as saved:
            report(json.load(saved))
        return
    os.makedirs(WORK, exist_ok=True)
    workloads = build_workloads()
    homes = [JDK17] + ([JDK25] if os.path.exists(JDK25 + "/release") else [])
    results = []
    for home in homes:
        feature = feature_of(home)
        for workload in workloads:
            say("JDK %d, %s" % (feature, workload.name))
            results.append((feature, workload.name, measure(home, feature, workload)))
    report(results)


VARIANTS = ["java", "java, hand-made archive", "larkwin", "larkwin, warm start-up cache",
            "larkwin, warm cache, checksum checked", "larkwin, training run"]


def ms(seconds):
    return "%.0f" % (seconds * 1000)


def write_tsv(results):
    with open(os.path.join(BENCH, TSV), "w") as out:
        out.write("jdk\tworkload\tvariant\tmedian_ms\tq1_ms\tq3_ms\tmin_ms\tmax_ms\truns\n")
        for feature, name, result in results:
            for variant in VARIANTS:
                s = result[variant]
                out.write("%d\t%s\t%s\t%.1f\t%.1f\t%.1f\t%.1f\t%.1f\t%d\n" % (
                    feature, name, variant, s["median"] * 1000, s["q1"] * 1000, s["q3"] * 1000,
                    s["min"] * 1000, s["max"] * 1000, s["runs"]))


def write_markdown(results):
    lines = ["| JDK | workload | java | hand-made archive | larkwin | larkwin warm cache | "
             "warm / java | warm / hand-made | warm / larkwin | checksum checked / warm | "
             "first start (vs java) | archive |",
             "|---|---|---|---|---|---|---|---|---|---|---|---|"]
    for feature, name, result in results:
        def cell(variant):
            s = result[variant]
            return "%s (%s-%s)" % (ms(s["median"]), ms(s["q1"]), ms(s["q3"]))
        java = result["java"]["median"]
        warm = result["larkwin, warm start-up cache"]["median"]
        train = result["larkwin, training run"]["median"]

        def ratio(other, top="larkwin, warm start-up cache"):
            low, high = ratio_interval(result[top]["times"], result[other]["times"])
            return "%.2f (%.2f-%.2f)" % (result[top]["median"] / result[other]["median"], low,
                                         high)
        lines.append("| %d | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s ms (+%s ms, %.2fx) "
                     "| %.1f MB |" % (
                         feature, name, cell("java"), cell("java, hand-made archive"),
                         cell("larkwin"), cell("larkwin, warm start-up cache"), ratio("java"),
                         ratio("java, hand-made archive"), ratio("larkwin"),
                         ratio("larkwin, warm start-up cache",
                               "larkwin, warm cache, checksum checked"),
                         ms(train), ms(train - java), train / java,
                         result["archive size"] / 1e6))
    return "\n".join(lines) + "\n"


def report(results):
    with open(os.path.join(WORK, "results.json"), "w") as out:
        json.dump(results, out)
    write_tsv(results)
    table = write_markdown(results)
    with open(os.path.join(WORK, "table.md"), "w") as out:
        out.write(table)
    print(table)


if __name__ == "__main__":
    main()
