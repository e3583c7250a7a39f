#!/bin/bash
# Measures what larkwin adds to every start of an application, side by side in
# one run: a no-op stand-in for java started directly, through larkwin with a
# .config, through larkwin-pack bundles of 1 MB and 200 MB and through a
# one-line shell wrapper; a real Hello class through java, a shell wrapper,
# larkwin and a jpackage app image; and the launcher's peak memory while its
# child runs. Writes bench/RESULTS.md and its chart of the Hello starts,
# bench/startup.svg (drawn by gnuplot). Everything it builds stays in
# build-bench/.
#
#   bench/run.sh                  full run (about ten minutes)
#   LARKWIN_BENCH_RUNS=400 ...    runs of each fast command (default 2000)
#   LARKWIN_BENCH_JAVA_RUNS=100   runs of java and larkwin with Hello (default
#                                 400; the app image runs a tenth as often)
#   LARKWIN_BENCH_ROUNDS=2        rounds the runs are spread over (default 5)
set -euo pipefail

bench=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$bench")
build=${LARKWIN_BENCH_BUILD:-$root/build-bench}
work=$build/work
runs=${LARKWIN_BENCH_RUNS:-2000}
javaRuns=${LARKWIN_BENCH_JAVA_RUNS:-400}
rounds=${LARKWIN_BENCH_ROUNDS:-5}
# shellcheck source=bench/lib.sh
. "$bench/lib.sh"

# A file of random, incompressible bytes, kept between runs.
randomFile() { # path megabytes
    local size=$(($2 * 1024 * 1024))
    if [ ! -f "$1" ] || [ "$(stat -c %s "$1")" -ne "$size" ]; then
        head -c "$size" /dev/urandom >"$1"
    fi
}

prepareStandIns() {
    buildStandIns "$work"
    mkdir -p "$work/classes"
    javac -d "$work/classes" "$bench/Hello.java"
    rm -f "$work/hello.jar"
    jar cf "$work/hello.jar" -C "$work/classes" .
}

# (2): the launcher beside its .config.
prepareConfigured() { # directory java
    mkdir -p "$1"
    cp "$build/larkwin" "$1/app"
    printf 'javapath %s\naddpath %s\nmainclass Hello\n' "$2" "$work/hello.jar" >"$1/app.config"
}

# (3): the launcher with a stored (uncompressed) archive of random data appended.
prepareBundle() { # megabytes
    randomFile "$work/random-$1M.bin" "$1"
    rm -f "$work/archive-$1M.zip"
    (cd "$work" && zip -q -0 "archive-$1M.zip" "random-$1M.bin" && zip -q -0 -j "archive-$1M.zip" classes/Hello.class)
    printf 'javapath %s\nmainclass Hello\n' "$work/noop" >"$work/bundle.config"
    "$build/larkwin-pack" -o "$work/bundle-$1M" --config "$work/bundle.config" "$work/archive-$1M.zip"
}

# (4): the simplest wrapper, which only replaces itself; and for the memory
# comparison one that waits for its child, as the launcher does.
prepareWrappers() {
    printf '#!/bin/sh\nexec %s -cp %s Hello "$@"\n' "$work/noop" "$work/hello.jar" >"$work/wrapper.sh"
    printf '#!/bin/sh\n%s -cp %s Hello "$@"\n' "$work/nap" "$work/hello.jar" >"$work/waiting-wrapper.sh"
    printf '#!/bin/sh\nexec %s -cp %s Hello "$@"\n' "$java" "$work/hello.jar" >"$work/hello-wrapper.sh"
    chmod +x "$work/wrapper.sh" "$work/waiting-wrapper.sh" "$work/hello-wrapper.sh"
}

# (5): a jpackage app image of the Hello jar, kept between runs.
prepareJpackage() {
    if ! command -v jpackage >/dev/null; then
        say "jpackage is not installed: the app image is not measured"
        return
    fi
    if [ ! -x "$work/jpackage/hello/bin/hello" ] || [ "$work/hello.jar" -nt "$work/jpackage/hello/bin/hello" ]; then
        say "making the jpackage app image"
        rm -rf "$work/jpackage" "$work/jpackage-input"
        mkdir -p "$work/jpackage-input"
        cp "$work/hello.jar" "$work/jpackage-input/"
        jpackage --type app-image --input "$work/jpackage-input" --main-jar hello.jar \
            --main-class Hello --name hello --dest "$work/jpackage"
    fi
}

measureStarts() {
    say "measuring the starts of the stand-in ($runs runs each)"
    measureInRounds "$work/starts" 20 "$runs" "$rounds" \
        "1 stand-in directly" "$work/noop -cp $work/hello.jar Hello" \
        "2 larkwin with .config" "$work/configured/app" \
        "3 bundle 1 MB" "$work/bundle-1M" \
        "3 bundle 200 MB" "$work/bundle-200M" \
        "4 sh wrapper (exec)" "$work/wrapper.sh" \
        "floor: static C vfork-exec-wait" "$work/waiter $work/noop -cp $work/hello.jar Hello"
}

# The JVM's start varies much more than the stand-in's, so java, the wrapper
# and larkwin alternate in many short rounds; the slower app image runs in
# fewer. A launch that the chart shows beside these joins the first group
# under a name that bench/report.py lists in HELLO_SERIES.
measureJava() {
    say "measuring Hello ($javaRuns runs each)"
    local round count=$((javaRuns / 10))
    rm -f "$work"/java-*.json "$work"/jpackage-*.json
    for round in $(seq "$count"); do
        say "round $round of $count"
        hyperfine -N --style basic --warmup 1 --runs 10 --export-json "$work/java-$round.json" \
            -n "5 java -cp directly" "$java -cp $work/hello.jar Hello" \
            -n "5 sh wrapper (exec java)" "$work/hello-wrapper.sh" \
            -n "5 larkwin" "$work/hello-launcher/app" \
            -n "5 larkwin, warm start-up cache" "$work/hello-cached/app" >"$work/java-$round.log" 2>&1 ||
            { cat "$work/java-$round.log"; exit 1; }
        if [ -x "$work/jpackage/hello/bin/hello" ] && [ $((round % 10)) -eq 0 ]; then
            hyperfine -N --style basic --warmup 1 --runs 10 --export-json "$work/jpackage-$round.json" \
                -n "5 jpackage app image" "$work/jpackage/hello/bin/hello" >"$work/jpackage-$round.log" 2>&1 ||
                { cat "$work/jpackage-$round.log"; exit 1; }
        fi
    done
}

# (5): the same launcher with a start-up cache of its own, trained here once,
# so that every measured start is a warm one.
prepareCached() { # directory java
    prepareConfigured "$1" "$2"
    rm -rf "$1/cache"
    printf 'startupcache cache\n' >>"$1/app.config"
    "$1/app" >/dev/null
}

measureMemory() {
    say "measuring peak memory while the child runs"
    : >"$work/memory.txt"
    prepareConfigured "$work/napping" "$work/nap"
    peakWhileWaiting "$work/memory.txt" "larkwin" "$work/napping/app"
    peakWhileWaiting "$work/memory.txt" "sh wrapper (waiting)" "$work/waiting-wrapper.sh"
    peakWhileWaiting "$work/memory.txt" "floor: static C vfork-exec-wait" "$work/waiter" "$work/nap"
}

# How an executable is linked, from its ELF headers.
linkingOf() { # executable
    local type
    type=$(readelf -h "$1" | sed -n 's/^ *Type: *//p')
    if readelf -l "$1" | grep -q 'program interpreter'; then
        echo "dynamically linked ($type), libraries: $(readelf -d "$1" | sed -n 's/.*Shared library: \[\(.*\)\]/\1/p' | tr '\n' ' ')"
    else
        echo "statically linked ($type)"
    fi
}

recordVersions() {
    {
        echo "commit|$(git -C "$root" log -1 --format='%h %s' 2>/dev/null || echo unknown)"
        echo "kernel|$(uname -srm)"
        echo "cpu|$(lscpu | sed -n 's/^Model name: *//p' | head -1), $(nproc) cores"
        echo "memory|$(awk '/^MemTotal:/ {printf "%d MiB", $2 / 1024}' /proc/meminfo)"
        echo "os|$(. /etc/os-release && echo "$PRETTY_NAME")"
        echo "compiler|$(c++ --version | head -1)"
        echo "glibc|$(ldd --version | head -1)"
        echo "sh|$(readlink -f /bin/sh)"
        echo "hyperfine|$(hyperfine --version)"
        echo "java|$("$java" -version 2>&1 | head -2 | tail -1)"
        echo "larkwin|$(stat -c %s "$build/larkwin") bytes, $(linkingOf "$build/larkwin")"
        echo "build|Release, LARKWIN_STATIC=$(sed -n 's/^LARKWIN_STATIC:BOOL=//p' "$build/CMakeCache.txt")"
        echo "runs|$runs of each fast command and $javaRuns of each Hello command (the app image a tenth), in $rounds rounds (a full run: 2000, 400, 5)"
        echo "load average at the start|$(cut -d' ' -f1-3 /proc/loadavg)"
    } >"$work/versions.txt"
}

installHyperfine
installGnuplot
mkdir -p "$work"
buildLauncher "$root" "$build"
java=$(readlink -f "$(command -v java)")
prepareStandIns
prepareConfigured "$work/configured" "$work/noop"
prepareConfigured "$work/hello-launcher" "$java"
prepareCached "$work/hello-cached" "$java"
prepareBundle 1
prepareBundle 200
prepareWrappers
prepareJpackage
recordVersions
measureStarts
measureJava
measureMemory
echo "load average at the end|$(cut -d' ' -f1-3 /proc/loadavg)" >>"$work/versions.txt"
python3 "$bench/report.py" "$work" "$bench/CHANGES.md" "$bench/startup.svg" >"$bench/RESULTS.md"
say "wrote $bench/RESULTS.md and $bench/startup.svg"
