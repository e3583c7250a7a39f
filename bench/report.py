"""Turns the measurements of bench/run.sh into bench/RESULTS.md (on stdout)
and, given CHART_SVG, draws the Hello starts there with gnuplot.

Usage: report.py WORK_DIR CHANGES_MD [CHART_SVG]
"""

import glob
import json
import os
import random
import shutil
import statistics
import subprocess
import sys

# The ways of starting the same Hello application, in the chart's order: the
# measured name and the bar's label. A series is drawn only when the run
# measured it. The warm start-up cache series has its place here: the run
# measures it once larkwin keeps a start-up cache, under this name.
HELLO_SERIES = [
    ("5 java -cp directly", "java -cp"),
    ("5 sh wrapper (exec java)", "sh wrapper"),
    ("5 larkwin", "larkwin"),
    ("5 jpackage app image", "jpackage app image"),
    ("5 larkwin, warm start-up cache", "larkwin, warm start-up cache"),
]


def load_times(prefix):
    """The run times of each command, pooled over the rounds PREFIX-N.json."""
    times = {}
    for path in sorted(glob.glob(prefix + "-*.json")):
        with open(path) as f:
            for r in json.load(f)["results"]:
                times.setdefault(r["command"], []).extend(r["times"])
    return times


def ratio_interval(a, b, resamples=400):
    """A 95% bootstrap interval of the ratio of the medians of a and b."""
    rng = random.Random(9)
    ratios = sorted(
        statistics.median(rng.choices(a, k=len(a))) / statistics.median(rng.choices(b, k=len(b)))
        for _ in range(resamples))
    return ratios[int(resamples * 0.025)], ratios[int(resamples * 0.975) - 1]


def quartiles(times):
    q = statistics.quantiles(times, n=4)
    return q[0], statistics.median(times), q[2]


def ms(seconds):
    return "%.2f" % (seconds * 1000) if seconds < 0.01 else "%.1f" % (seconds * 1000)


def gnuplot_string(text):
    return '"%s"' % text.replace("\\", "\\\\").replace('"', '\\"')


def chart_script(rows, path):
    """A gnuplot script that draws one bar per row (label, q1, median, q3 in
    seconds): the median, with the quartiles as its spread."""
    data = "\n".join("%s %.3f %.3f %.3f" % (gnuplot_string(label), q1 * 1000, med * 1000,
                                             q3 * 1000) for label, q1, med, q3 in rows)
    return """set terminal svg size 760,400 dynamic font "sans,13" background rgb "white"
set output %s
$starts << EOD
%s
EOD
set title "Starting Hello World: median wall time, whiskers from the first to the third quartile"
set ylabel "milliseconds"
set yrange [0:*]
set xrange [-0.6:%f]
set boxwidth 0.6
set style fill solid 0.5 border -1
set grid ytics
set xtics nomirror scale 0
unset key
plot $starts using 0:3:xtic(1) with boxes lc rgb "#3f6fb0", \\
     '' using 0:3:2:4 with yerrorbars lc rgb "black" lw 1.5 pt -1, \\
     '' using 0:4:(sprintf("%%.0f ms", $3)) with labels offset 0,0.8
""" % (gnuplot_string(path), data, len(rows) - 0.4)


def draw_chart(times, path):
    """Draws the measured Hello series into path; returns their labels."""
    rows = [(label,) + quartiles(times[name]) for name, label in HELLO_SERIES if name in times]
    if shutil.which("gnuplot") is None:
        sys.exit("report.py: gnuplot is not installed (apt-get install gnuplot-nox)")
    subprocess.run(["gnuplot"], input=chart_script(rows, path).encode(), check=True, timeout=60)
    return [row[0] for row in rows]


def load_pairs(path):
    pairs = []
    with open(path) as f:
        for line in f:
            if "|" in line:
                key, value = line.rstrip("\n").split("|", 1)
                pairs.append((key, value))
    return pairs


def memory_rows(path):
    rows = []
    for name, fields in load_pairs(path):
        words = fields.split()
        values = dict(zip(words[0::2], (int(v) for v in words[1::2])))
        rows.append((name, values))
    return rows


def main():
    work, changes = sys.argv[1], sys.argv[2]
    chart = sys.argv[3] if len(sys.argv) > 3 else None
    times = load_times(os.path.join(work, "starts"))
    times.update(load_times(os.path.join(work, "java")))
    times.update(load_times(os.path.join(work, "jpackage")))
    median = {name: statistics.median(t) for name, t in times.items()}
    memory = memory_rows(os.path.join(work, "memory.txt"))
    launcher_kib = next((v.get("VmHWM:", 0) for n, v in memory if n == "larkwin"), 0)

    def ratio(a, b):
        return median[a] / median[b] if a in median and b in median else None

    def interval(a, b):
        return ratio_interval(times[a], times[b]) if a in median and b in median else None

    pairs = [
        ("(2) larkwin / (4) sh wrapper", "2 larkwin with .config", "4 sh wrapper (exec)",
         "at most 1.00", lambda r: r <= 1.0),
        ("(2) larkwin / (1) stand-in directly", "2 larkwin with .config", "1 stand-in directly",
         "at most 2.00", lambda r: r <= 2.0),
        ("(3) 200 MB bundle / 1 MB bundle", "3 bundle 200 MB", "3 bundle 1 MB",
         "at most 1.05", lambda r: r <= 1.05),
        ("(5) Hello: larkwin / java directly", "5 larkwin", "5 java -cp directly",
         "at most 1.05", lambda r: r <= 1.05),
        ("(5) Hello: larkwin / jpackage image", "5 larkwin", "5 jpackage app image",
         "below 1.00", lambda r: r < 1.0),
    ]
    targets = [(name, ratio(a, b), target, met, interval(a, b)) for name, a, b, target, met in pairs]

    out = []
    w = out.append
    w("# larkwin start-up benchmark")
    w("")
    w("Written by `bench/run.sh`; the numbers below are from its last run. The")
    w("hand-written account of the changes it led to is at the end.")
    w("")
    w("## Performance")
    w("")
    w("Medians of wall time, each command started without a shell, side by side in one run.")
    w("")
    r = dict((t[0], t[1]) for t in targets)
    headline = []
    machine = dict(load_pairs(os.path.join(work, "versions.txt")))
    if r["(2) larkwin / (1) stand-in directly"] is not None:
        floor = ratio("floor: static C vfork-exec-wait", "1 stand-in directly")
        headline.append(
            "On the test machine (%s), starting a program through larkwin with a `.config` takes "
            "%s ms, against %s ms through a one-line `#!/bin/sh` wrapper that only `exec`s "
            "it (%.2fx) and %s ms for starting it directly (%.2fx; a bare static "
            "vfork-exec-wait program already takes %.2fx)."
            % (machine.get("cpu", "?"), ms(median["2 larkwin with .config"]),
               ms(median["4 sh wrapper (exec)"]), r["(2) larkwin / (4) sh wrapper"],
               ms(median["1 stand-in directly"]), r["(2) larkwin / (1) stand-in directly"],
               floor or 0))
    if r["(3) 200 MB bundle / 1 MB bundle"] is not None:
        headline.append(
            "A bundle with a 200 MB archive starts as fast as one with 1 MB (%.2fx)."
            % r["(3) 200 MB bundle / 1 MB bundle"])
    if r["(5) Hello: larkwin / java directly"] is not None:
        text = ("A Hello World class starts in %s ms through larkwin against %s ms with "
                "`java -cp` (%.3fx)" % (ms(median["5 larkwin"]), ms(median["5 java -cp directly"]),
                                        r["(5) Hello: larkwin / java directly"]))
        if "5 sh wrapper (exec java)" in median:
            text += ", %s ms through a shell wrapper that `exec`s java" % ms(
                median["5 sh wrapper (exec java)"])
        if r["(5) Hello: larkwin / jpackage image"] is not None:
            text += " and %s ms from a `jpackage` app image" % ms(median["5 jpackage app image"])
        headline.append(text + ".")
    if launcher_kib:
        headline.append("While the application runs, larkwin's peak resident memory is "
                        "%.2f MiB." % (launcher_kib / 1024))
    w(" ".join(headline))
    w("")
    if "runs" in machine:
        w("Runs: %s. Load average (1, 5, 15 minutes) at the start %s, at the end %s." % (
            machine["runs"], machine.get("load average at the start", "?"),
            machine.get("load average at the end", "?")))
        w("")
    if chart is not None:
        drawn = draw_chart(times, chart)
        w("![Starting Hello World: %s](%s)" % (", ".join(drawn), os.path.basename(chart)))
        w("")
        w("One bar per way of starting the same Hello World class: its median wall")
        w("time, with whiskers from the first to the third quartile of its runs.")
        w("")
    w("## Targets")
    w("")
    w("| Ratio of median wall times | Measured | 95% interval | Target | Met |")
    w("|---|---|---|---|---|")
    for name, value, target, met, bounds in targets:
        if value is None:
            w("| %s | not measured | | %s | - |" % (name, target))
        else:
            if met(bounds[0]) and met(bounds[1]):
                verdict = "yes"
            elif not met(bounds[0]) and not met(bounds[1]):
                verdict = "**no**"
            else:
                verdict = "within noise (%s)" % ("yes" if met(value) else "no")
            w("| %s | %.3f | %.3f - %.3f | %s | %s |" % (
                name, value, bounds[0], bounds[1], target, verdict))
    if launcher_kib:
        w("| larkwin peak resident memory while waiting | %.2f MiB | | at most 1.5 MiB | %s |"
          % (launcher_kib / 1024, "yes" if launcher_kib <= 1.5 * 1024 else "**no**"))
    w("")
    w("The interval is a bootstrap of the ratio of the two medians (resampling the")
    w("runs of both commands); it shows how far the machine's noise moves the ratio.")
    w("A target counts as met when the whole interval meets it, as missed when none")
    w("of it does, and is within the noise otherwise (the verdict of the median in")
    w("brackets).")
    floor = ratio("floor: static C vfork-exec-wait", "1 stand-in directly")
    if floor is not None:
        w("")
        w("For comparison: the least a launcher that waits for its child can cost (a static")
        w("C program that only does vfork, exec and wait) is %.3f times the stand-in started" % floor)
        w("directly; larkwin takes %.3f times what that floor takes." % ratio(
            "2 larkwin with .config", "floor: static C vfork-exec-wait"))
    w("")
    w("## Wall times")
    w("")
    w("Medians with the quartiles as spread, in milliseconds. hyperfine starts each")
    w("command without a shell (`-N`); the runs are spread over rounds that each run")
    w("every command in turn, after warm-up runs, so that a change of the machine's")
    w("load falls on all of them alike. The floor is a 20-line static C program that")
    w("does nothing but vfork, exec the stand-in and wait: the least any launcher")
    w("that waits for its child costs.")
    w("")
    w("| Command | Runs | Median | Q1 - Q3 | Min | Mean ± σ |")
    w("|---|---|---|---|---|---|")
    for name, t in times.items():
        q1, med, q3 = quartiles(t)
        w("| %s | %d | %s | %s - %s | %s | %s ± %s |" % (
            name, len(t), ms(med), ms(q1), ms(q3), ms(min(t)), ms(statistics.mean(t)),
            ms(statistics.stdev(t))))
    w("")
    w("## Peak memory while the child runs")
    w("")
    w("Read from `/proc/PID/status` of the waiting process itself (not its child),")
    w("0.3 s after the start of a child that sleeps 0.6 s; the largest of five starts.")
    w("")
    w("| Process | VmHWM (peak) | VmRSS | RssAnon | RssFile |")
    w("|---|---|---|---|---|")
    for name, v in memory:
        w("| %s | %d KiB | %d KiB | %d KiB | %d KiB |" % (
            name, v.get("VmHWM:", 0), v.get("VmRSS:", 0), v.get("RssAnon:", 0),
            v.get("RssFile:", 0)))
    w("")
    w("## Machine and versions")
    w("")
    for key, value in load_pairs(os.path.join(work, "versions.txt")):
        w("- %s: %s" % (key, value))
    w("")
    if os.path.exists(changes):
        with open(changes) as f:
            w(f.read().rstrip("\n"))
        w("")
    sys.stdout.write("\n".join(out))


if __name__ == "__main__":
    main()
