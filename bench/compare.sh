#!/bin/bash
# Measures the launcher of several commits side by side: each commit's
# larkwin, with a .config, starting the no-op stand-in, together with the
# stand-in started directly, the exec-ing shell wrapper and the static C
# floor; and each launcher's peak memory while its child runs. Prints a
# Markdown table; bench/CHANGES.md quotes its output.
#
#   bench/compare.sh [-D CMAKE_OPTION]... COMMIT...
#
# Each -D option applies to the build of the commit that follows it, e.g.
# "0997397 -DLARKWIN_STATIC=OFF HEAD HEAD" measures the first commit and HEAD
# both without and with its default. LARKWIN_BENCH_RUNS and
# LARKWIN_BENCH_ROUNDS as for run.sh.
set -euo pipefail

bench=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$bench")
build=${LARKWIN_BENCH_BUILD:-$root/build-bench}
work=$build/compare
runs=${LARKWIN_BENCH_RUNS:-2000}
rounds=${LARKWIN_BENCH_ROUNDS:-5}
# shellcheck source=bench/lib.sh
. "$bench/lib.sh"

installHyperfine
mkdir -p "$work"
buildStandIns "$work"
printf '#!/bin/sh\nexec %s -cp %s Hello "$@"\n' "$work/noop" "$work/hello.jar" >"$work/wrapper.sh"
chmod +x "$work/wrapper.sh"

commands=(
    "stand-in directly" "$work/noop -cp $work/hello.jar Hello"
    "sh wrapper (exec)" "$work/wrapper.sh"
    "floor: static C vfork-exec-wait" "$work/waiter $work/noop -cp $work/hello.jar Hello"
)
: >"$work/memory.txt"
options=()
labels=()
for argument in "$@"; do
    if [[ $argument == -D* ]]; then
        options+=("$argument")
        continue
    fi
    commit=$(git -C "$root" rev-parse --short "$argument")
    label="$commit${options[*]:+ ${options[*]}}"
    directory="$work/$(echo "$label" | tr ' =' '__')"
    rm -rf "$directory/source"
    mkdir -p "$directory/source"
    git -C "$root" archive "$commit" | tar -x -C "$directory/source"
    buildLauncher "$directory/source" "$directory/build" >/dev/null
    if [ ${#options[@]} -gt 0 ]; then
        cmake -S "$directory/source" -B "$directory/build" "${options[@]}" >>"$directory/build/bench-build.log"
        cmake --build "$directory/build" -j2 --target larkwin >>"$directory/build/bench-build.log"
    fi
    mkdir -p "$directory/app" "$directory/napping"
    cp "$directory/build/larkwin" "$directory/app/app"
    cp "$directory/build/larkwin" "$directory/napping/app"
    printf 'javapath %s\naddpath %s\nmainclass Hello\n' "$work/noop" "$work/hello.jar" >"$directory/app/app.config"
    printf 'javapath %s\naddpath %s\nmainclass Hello\n' "$work/nap" "$work/hello.jar" >"$directory/napping/app.config"
    commands+=("larkwin $label" "$directory/app/app")
    peakWhileWaiting "$work/memory.txt" "larkwin $label" "$directory/napping/app"
    labels+=("$label")
    options=()
done

measureInRounds "$work/starts" 20 "$runs" "$rounds" "${commands[@]}"

python3 - "$work" <<'EOF'
import glob, json, statistics, sys
work = sys.argv[1]
times = {}
for path in sorted(glob.glob(work + "/starts-*.json")):
    for r in json.load(open(path))["results"]:
        times.setdefault(r["command"], []).extend(r["times"])
memory = {}
for line in open(work + "/memory.txt"):
    name, fields = line.rstrip("\n").split("|", 1)
    memory[name] = int(fields.split()[1])
direct = statistics.median(times["stand-in directly"])
wrapper = statistics.median(times["sh wrapper (exec)"])
print("| Launcher | Median ms | Q1 - Q3 ms | / stand-in | / sh wrapper | Peak RSS waiting |")
print("|---|---|---|---|---|---|")
for name, t in times.items():
    q = statistics.quantiles(t, n=4)
    m = statistics.median(t)
    rss = "%d KiB" % memory[name] if name in memory else ""
    print("| %s | %.3f | %.3f - %.3f | %.2f | %.2f | %s |" % (
        name, m * 1000, q[0] * 1000, q[2] * 1000, m / direct, m / wrapper, rss))
EOF
