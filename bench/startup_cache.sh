#!/bin/bash
# The start-up cache's benchmark (bench/STARTUP_CACHE.md): javac, an
# embedded Jetty 9 answering its first request, a Jackson databind round
# trip and Groovy's and Ant's starters (bench/LOADER_CLASSES.md), each
# through larkwin with a warm cache, through larkwin without the
# directive, with plain java and with java given a hand-made archive, on
# JDK 17 and, where it is installed, Temurin 25. Writes
# bench/startup-cache.tsv and prints the Markdown table.
#
#   bench/startup_cache.sh
#
# LARKWIN_BENCH_CACHE_RUNS (default 21) interleaved runs of each variant;
# LARKWIN_BENCH_CACHE_TRAININGS (default 3) training runs per workload.
# LARKWIN_BENCH_CACHE_WORKLOADS (comma-separated names, such as
# "Groovy starter,Ant starter") runs only those, writing
# LARKWIN_BENCH_CACHE_TSV (default bench/startup-cache.tsv).
# Needs the Debian packages libjetty9-java, libjackson2-databind-java,
# groovy and ant.
set -euo pipefail

bench=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$bench")
build=${LARKWIN_BENCH_BUILD:-$root/build-bench}
# shellcheck source=bench/lib.sh
. "$bench/lib.sh"

for package in libjetty9-java libjackson2-databind-java groovy ant; do
    dpkg -s "$package" >/dev/null 2>&1 || { say "apt-get install $package first"; exit 1; }
done
buildLauncher "$root" "$build"
LARKWIN=$build/larkwin LARKWIN_BENCH_WORK=$build/startup-cache python3 "$bench/startup_cache.py"
