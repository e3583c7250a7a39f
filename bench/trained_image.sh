#!/bin/bash
# An app image trained at pack time (bench/STARTUP_CACHE.md): its first start
# against its warm start and a start without the cache, for the start-up
# cache's workloads on JDK 17 and, where it is installed, Temurin 25.
# Writes bench/trained-image.tsv and prints the Markdown table.
#
#   bench/trained_image.sh
#
# LARKWIN_BENCH_TRAINED_RUNS (default 11) interleaved rounds.
# Needs the Debian packages libjetty9-java and libjackson2-databind-java.
set -euo pipefail

bench=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$bench")
build=${LARKWIN_BENCH_BUILD:-$root/build-bench}
# shellcheck source=bench/lib.sh
. "$bench/lib.sh"

for package in libjetty9-java libjackson2-databind-java; do
    dpkg -s "$package" >/dev/null 2>&1 || { say "apt-get install $package first"; exit 1; }
done
buildLauncher "$root" "$build"
LARKWIN=$build/larkwin LARKWIN_PACK=$build/larkwin-pack LARKWIN_BENCH_WORK=$build/startup-cache \
    python3 "$bench/trained_image.py"
