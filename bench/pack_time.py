#!/usr/bin/env python3
"""Where larkwin-pack spends its time making a real application's .deb and
.rpm, and what each compression level of their payloads costs.

    bench/pack_time.py [--levels] [EXTRA OPTION...]

The application is Debian's Groovy (groovy-2.4.21.jar and the jars of
/usr/share/groovy/lib it needs, main class groovy.ui.GroovyMain), packed
with a runtime that jlink links from the JDK (JAVA_HOME, else the java on
PATH) into one .deb and one .rpm in one run. larkwin-pack runs under
`strace -f -e trace=execve` so that each program it starts (jdeps, jlink,
java for the base archive and training, strip, dpkg-shlibdeps,
dpkg-gencontrol, dpkg-deb, rpmbuild, ...) is timed from its execve to its
exit; the table sums them by program, and "larkwin-pack" is the whole run.
EXTRA OPTIONs are added to the command after the jars (e.g. --train -- -e 1
with a JDK 25: a training run of "groovy -e 1").

With --levels, the payloads of the packages just made are compressed
again at other levels (xz for the .deb's data.tar, as dpkg-deb does; gzip
and zstd for the .rpm's cpio, as rpmbuild does), each timed and sized, to
choose the packer's levels. LARKWIN_BENCH_BUILD names the build (default:
build).
"""

import collections
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.environ.get("LARKWIN_BENCH_BUILD", os.path.join(ROOT, "build"))
PACK = os.path.join(BUILD, "larkwin-pack")
LIB = "/usr/share/groovy/lib"
JARS = ["groovy-2.4.21.jar", "antlr.jar", "asm.jar", "asm-commons.jar", "asm-tree.jar",
        "asm-util.jar", "asm-analysis.jar", "commons-cli.jar"]
NAME = "larkwin-bench-groovy"


def traced_pack(work, extra):
    out = os.path.join(work, "out")
    os.makedirs(out)
    licence = os.path.join(work, "LICENSE")
    with open(licence, "w") as file:
        file.write("Apache-2.0\n")
    log = os.path.join(work, "trace")
    command = ["strace", "-f", "-q", "--seccomp-bpf", "-ttt", "-e", "trace=execve", "-o", log,
               PACK, "--deb", out, "--rpm", out, "--name", NAME, "--app-version", "2.4.21",
               "--description", "Groovy", "--maintainer", "Bench <bench@example.org>",
               "--license-file", licence, "--license", "Apache-2.0", "--main-class",
               "groovy.ui.GroovyMain", "--quiet"] + [os.path.join(LIB, j) for j in JARS] + extra
    start = time.monotonic()
    subprocess.run(command, check=True, timeout=3600)
    total = time.monotonic() - start
    return out, log, total


def program_times(log):
    """Seconds by program: from each process's last execve to its exit."""
    started = {}
    spent = collections.defaultdict(float)
    counts = collections.Counter()
    for line in open(log):
        match = re.match(r"(\d+) +(\d+\.\d+) (.*)", line)
        if not match:
            continue
        pid, stamp, rest = match.group(1), float(match.group(2)), match.group(3)
        # Traced with -f, a call may be cut into "<unfinished ...>" and
        # "<... execve resumed>": the program counts from the call.
        execve = re.match(r'execve\("([^"]+)"', rest)
        if execve and not re.search(r"= -1 \w+", rest):
            if pid in started:
                name, since = started[pid]
                spent[name] += stamp - since
            started[pid] = (os.path.basename(execve.group(1)), stamp)
        elif rest.startswith("+++ exited") or rest.startswith("+++ killed"):
            if pid in started:
                name, since = started.pop(pid)
                spent[name] += stamp - since
                counts[name] += 1
    return spent, counts


def timed(command, stdin_path, output_path):
    with open(stdin_path, "rb") as source, open(output_path, "wb") as sink:
        start = time.monotonic()
        subprocess.run(command, stdin=source, stdout=sink, check=True, timeout=3600)
        return time.monotonic() - start, os.path.getsize(output_path)


def levels(out, work):
    deb = [os.path.join(out, f) for f in os.listdir(out) if f.endswith(".deb")][0]
    rpm = [os.path.join(out, f) for f in os.listdir(out) if f.endswith(".rpm")][0]
    tar = os.path.join(work, "data.tar")
    with open(tar, "wb") as sink:
        subprocess.run(["dpkg-deb", "--fsys-tarfile", deb], stdout=sink, check=True)
    cpio = os.path.join(work, "payload.cpio")
    with open(cpio, "wb") as sink:
        subprocess.run(["rpm2cpio", rpm], stdout=sink, check=True)
    print("deb %d bytes, data.tar %d; rpm %d bytes, cpio %d" % (
        os.path.getsize(deb), os.path.getsize(tar), os.path.getsize(rpm), os.path.getsize(cpio)))
    packed = os.path.join(work, "packed")
    rows = [("xz -%d" % n, ["xz", "-%d" % n, "-T1", "-c"], tar) for n in (1, 3, 6, 9)]
    rows += [("gzip -%d" % n, ["gzip", "-%d" % n, "-c"], cpio) for n in (6, 9)]
    rows += [("zstd -%d" % n, ["zstd", "-%d" % n, "-T1", "-q", "-c"], cpio) for n in (3, 9, 19)]
    for label, command, source in rows:
        if shutil.which(command[0]) is None:
            print("%-8s  (no %s)" % (label, command[0]))
            continue
        seconds, size = timed(command, source, packed)
        print("%-8s  %6.1f s  %10d bytes  (%s)" % (label, seconds, size,
                                                  os.path.basename(source)))


def main():
    arguments = sys.argv[1:]
    with_levels = "--levels" in arguments
    extra = [a for a in arguments if a != "--levels"]
    work = tempfile.mkdtemp(prefix="larkwin-pack-time-")
    try:
        out, log, total = traced_pack(work, extra)
        spent, counts = program_times(log)
        print("whole run: %.1f s" % total)
        for name, seconds in sorted(spent.items(), key=lambda item: -item[1])[:14]:
            print("%-18s %6.1f s  (%d run%s)" % (name, seconds, counts[name],
                                               "" if counts[name] == 1 else "s"))
        if with_levels:
            levels(out, work)
        print("load average: %.1f %.1f %.1f" % os.getloadavg())
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
